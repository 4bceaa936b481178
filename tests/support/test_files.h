// Small helpers shared by the tests: scratch folders, whole-file I/O and
// running the command-line tools used as oracles.
#pragma once

#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

namespace tamarind::test {

// A fresh folder under the temp folder, removed with everything in it when
// the object goes away.
class ScopedTempDir {
 public:
  ScopedTempDir();
  ~ScopedTempDir();
  ScopedTempDir(const ScopedTempDir&) = delete;
  ScopedTempDir& operator=(const ScopedTempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Path() + "/" + name.
  std::string File(std::string_view name) const;

 private:
  std::string path_;
};

std::vector<uint8_t> ReadFileBytes(const std::string& path);
void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes);
std::string ReadFileText(const std::string& path);
void WriteFileText(const std::string& path, std::string_view text);
bool FileExists(const std::string& path);
// The names of the entries directly in |folder|; none when it cannot be read.
std::set<std::string> FolderNames(const std::string& folder);

struct CommandResult {
  int exitCode = -1;
  std::string output;  // standard output
};
// Runs |command| through /bin/sh and collects its standard output.
CommandResult RunCommand(const std::string& command);

// Quotes |text| for /bin/sh.
std::string ShellQuote(std::string_view text);

// Folder of the build tree and of the source tree.
std::string BinaryDir();
std::string SourceDir();

// The program of this build as a user runs it, isolated from the user who
// runs the tests: HOME and the XDG folders in |folder|/.user, TMPDIR
// |folder|, a fixed locale. For a program started without a shell: our
// environment with those settings, then |more| (NAME=value), each name
// once, the last setting winning.
std::vector<std::string> ProgramEnvironment(const std::string& folder, const std::vector<std::string>& more = {});
// The shell command that runs the program in |folder| with those settings,
// then |environment| (more NAME=value words, later ones winning, or a
// command to run it under), then |arguments| as typed after the program's
// name, redirections included.
std::string ProgramCommand(const std::string& folder, const std::string& arguments,
                           const std::string& environment = "");
// Runs ProgramCommand and collects its standard output.
CommandResult RunProgram(const std::string& folder, const std::string& arguments, const std::string& environment = "");

}  // namespace tamarind::test
