#include "support/test_files.h"

#include <stdio.h>
#include <stdlib.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <stdexcept>

namespace tamarind::test {

namespace {

// Names in tests are UTF-8, as in the program; Windows' narrow file calls
// would take them in the ANSI code page.
std::filesystem::path Native(const std::string& path) {
#ifdef _WIN32
  return std::filesystem::u8path(path);
#else
  return path;
#endif
}

}  // namespace

#ifdef _WIN32
ScopedTempDir::ScopedTempDir() {
  std::random_device random;
  const std::filesystem::path base = std::filesystem::temp_directory_path();
  for (int attempt = 0; attempt < 100; ++attempt) {
    const std::filesystem::path candidate = base / ("tamarind-test-" + std::to_string(random()));
    if (std::filesystem::create_directory(candidate)) {
      const std::u8string utf8 = candidate.u8string();
      path_.assign(utf8.begin(), utf8.end());
      return;
    }
  }
  throw std::runtime_error("no temporary folder");
}
#else
ScopedTempDir::ScopedTempDir() {
  const char* base = getenv("TMPDIR");
  std::string pattern = std::string(base && *base ? base : "/tmp") + "/tamarind-test-XXXXXX";
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) throw std::runtime_error("mkdtemp failed");
  path_ = buffer.data();
}
#endif

ScopedTempDir::~ScopedTempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(Native(path_), ignored);
}

std::string ScopedTempDir::File(std::string_view name) const { return path_ + "/" + std::string(name); }

std::vector<uint8_t> ReadFileBytes(const std::string& path) {
  std::ifstream in(Native(path), std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteFileBytes(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream out(Native(path), std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  if (!out) throw std::runtime_error("cannot write " + path);
}

std::string ReadFileText(const std::string& path) {
  std::vector<uint8_t> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

void WriteFileText(const std::string& path, std::string_view text) {
  WriteFileBytes(path, std::vector<uint8_t>(text.begin(), text.end()));
}

bool FileExists(const std::string& path) {
  std::error_code ignored;
  return std::filesystem::exists(Native(path), ignored);
}

std::set<std::string> FolderNames(const std::string& folder) {
  std::set<std::string> names;
  std::error_code error;
  for (std::filesystem::directory_iterator it(Native(folder), error), end; !error && it != end; it.increment(error))
    names.insert(it->path().filename().string());
  return names;
}

#ifdef _WIN32
#define popen _popen
#define pclose _pclose
#define WIFEXITED(status) true
#define WEXITSTATUS(status) (status)
#endif

CommandResult RunCommand(const std::string& command) {
  CommandResult result;
  FILE* pipe = popen(command.c_str(), "r");
  if (!pipe) return result;
  char buffer[65536];
  size_t n;
  while ((n = fread(buffer, 1, sizeof buffer, pipe)) > 0) result.output.append(buffer, n);
  int status = pclose(pipe);
  result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return result;
}

std::string ShellQuote(std::string_view text) {
  std::string quoted = "'";
  for (char c : text) {
    if (c == '\'') quoted += "'\\''";
    else quoted += c;
  }
  return quoted + "'";
}

std::string BinaryDir() { return TAMARIND_BINARY_DIR; }
std::string SourceDir() { return TAMARIND_SOURCE_DIR; }

namespace {

std::vector<std::string> IsolatedSettings(const std::string& folder) {
  const std::string user = folder + "/.user";
  return {"HOME=" + user,
          "XDG_CONFIG_HOME=" + user + "/config",
          "XDG_STATE_HOME=" + user + "/state",
          "XDG_CACHE_HOME=" + user + "/cache",
          "XDG_DATA_HOME=" + user + "/data",
          "TMPDIR=" + folder,
          "LC_ALL=C.UTF-8"};
}

}  // namespace

#ifndef _WIN32
// Programs are started without a shell on POSIX systems only.
std::vector<std::string> ProgramEnvironment(const std::string& folder, const std::vector<std::string>& more) {
  std::vector<std::string> settings;
  for (char** setting = environ; *setting; ++setting) settings.emplace_back(*setting);
  const std::vector<std::string> isolated = IsolatedSettings(folder);
  for (const std::vector<std::string>* added : {&isolated, &more}) {
    for (const std::string& setting : *added) {
      const std::string name = setting.substr(0, setting.find('=') + 1);
      std::erase_if(settings, [&](const std::string& s) { return s.starts_with(name); });
      settings.push_back(setting);
    }
  }
  return settings;
}
#endif

std::string ProgramCommand(const std::string& folder, const std::string& arguments, const std::string& environment) {
  std::string command = "cd " + ShellQuote(folder) + " &&";
  for (const std::string& setting : IsolatedSettings(folder)) {
    const size_t equals = setting.find('=');
    command += " " + setting.substr(0, equals + 1) + ShellQuote(setting.substr(equals + 1));
  }
  return command + " " + environment + " " + ShellQuote(BinaryDir() + "/tamarind") + " " + arguments;
}

CommandResult RunProgram(const std::string& folder, const std::string& arguments, const std::string& environment) {
  return RunCommand(ProgramCommand(folder, arguments, environment));
}

}  // namespace tamarind::test
