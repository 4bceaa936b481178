// A pipe or a device where the program expects a file (a source, a ".g3f"
// name whose content is tested, the log) fails at once: the run ends with
// its report, it never waits for a writer. And where an output would go,
// a device, a FIFO, the link to standard output or a descriptor's name is
// never replaced, by any switch that writes.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include <gtest/gtest.h>

#include "child_process.h"
#include "ocr/languages.h"
#include "platform/files.h"
#include "support/fax_files.h"
#include "support/test_files.h"
#include "tools/winfax_writer.h"

namespace tamarind {
namespace {

// A FIFO as the fax, or as a ".g3f" name whose content is tested: no
// writer ever comes.
TEST(SpecialFiles, FailAtOnceInsteadOfBlocking) {
  test::ScopedTempDir dir;
  for (const auto& [source, said] : {std::pair{"pipe.fxd", "Failed : "}, std::pair{"pipe.g3f", "Not WinFax File"}}) {
    ASSERT_EQ(mkfifo(dir.File(source).c_str(), 0600), 0);
    test::ChildOptions options;
    options.arguments = {"/f=" + dir.File(source), "/sf=" + dir.File("out.jpg"), "/log=" + dir.File("run.log")};
    options.environment = {"TMPDIR=" + dir.Path()};
    options.limit = std::chrono::seconds(20);  // a hang guard, not a speed target
    const test::ChildResult run = test::RunTamarind(options);
    ASSERT_FALSE(run.timedOut) << source << ": the run blocked";
    ASSERT_TRUE(run.exited);
    EXPECT_EQ(run.exitCode, 2) << run.output;
    EXPECT_NE(run.output.find(said), std::string::npos) << run.output;
  }
}

// What stands under an output's name. The device and the links live in a
// /dev of the run's own (a stand-in tmpfs in a private mount namespace), so
// a program that went wrong cannot harm the system's.
struct Target {
  const char* name;
  const char* path;  // "@" is the scratch folder
  bool inOwnDev;
};

const Target kTargets[] = {
    {"Device", "/dev/null", true},
    {"Fifo", "@/fifo.jpg", false},
    {"StdoutLink", "/dev/stdout", true},
    {"Descriptor", "/proc/self/fd/1", true},
};

// Every switch that writes a file, naming the target {T} (in the folder
// {F}); the fax {in}/{stem}.fxd is named after it, so a folder run's output
// falls on it. A log that is a device is the way to run without one.
struct Switch {
  const char* name;
  std::vector<std::string> arguments;
  bool succeedsOnADevice = false;
  bool pageMadeAnyway = false;  // {out}/a.jpg: the failing report or log stops no conversion
};

const Switch kSwitches[] = {
    {"Page", {"/f={in}/{stem}.fxd", "/sf={T}"}},
    {"Document", {"/f={in}/{stem}.fxd", "/sf={T}", "/fmt=pdf"}},
    {"FolderRun", {"/d={in}", "/sd={F}"}},
    {"SkipExisting", {"/skip", "/f={in}/{stem}.fxd", "/sf={T}"}},
    {"Report", {"/f={in}/{stem}.fxd", "/sf={out}/a.jpg", "/report={T}"}, false, true},
    {"Log", {"/f={in}/{stem}.fxd", "/sf={out}/a.jpg", "/log={T}"}, true, true},
    {"Thumbnail", {"--thumbnail", "{in}/{stem}.fxd", "{T}", "64"}},
};

struct OutputCase {
  Switch what;
  Target target;
};

void PrintTo(const OutputCase& c, std::ostream* out) { *out << c.what.name << " " << c.target.name; }

bool OwnDevAllowed() {
  static const bool allowed = geteuid() == 0 && test::RunCommand("unshare -m true >/dev/null 2>&1").exitCode == 0;
  return allowed;
}

class SpecialOutputs : public ::testing::TestWithParam<OutputCase> {
 protected:
  std::string Resolve(std::string text, const std::string& target) const {
    const std::filesystem::path path(target);
    const std::pair<std::string, std::string> names[] = {{"{T}", target},
                                                         {"{F}", path.parent_path().string()},
                                                         {"{stem}", path.stem().string()},
                                                         {"{in}", dir.File("in")},
                                                         {"{out}", dir.File("out")}};
    for (const auto& [name, value] : names)
      for (size_t at; (at = text.find(name)) != std::string::npos;) text.replace(at, name.size(), value);
    return text;
  }

  test::ScopedTempDir dir;
};

TEST_P(SpecialOutputs, SurviveEveryOutputSwitch) {
  const OutputCase& c = GetParam();
  if (c.target.inOwnDev && !OwnDevAllowed())
    GTEST_SKIP() << "needs root and a mount namespace of its own (unshare -m) for a stand-in /dev";
  std::string path = c.target.path;
  if (path.starts_with('@')) path = dir.Path() + path.substr(1);
  const std::string stem = std::filesystem::path(path).stem().string();
  ASSERT_TRUE(platform::MakeFolders(dir.File("in")));
  ASSERT_TRUE(tools::WriteWinFaxFile(dir.File("in/" + stem + ".fxd"), std::vector{test::WhiteRowsPage(1728, 64, 1)}));
  if (!c.target.inOwnDev) {
    ASSERT_EQ(mkfifo(path.c_str(), 0600), 0);
  }

  test::ChildOptions options;
  for (const std::string& argument : c.what.arguments) options.arguments.push_back(Resolve(argument, path));
  options.environment = {"TMPDIR=" + dir.Path(), "LISTING=" + dir.File("listing")};
  options.limit = std::chrono::seconds(20);  // a hang guard, not a speed target
  if (c.target.inOwnDev) {
    // The stand-ins, and afterwards what became of them.
    options.runUnder = {"unshare", "-m", "sh", "-c",
                        "mount -t tmpfs tamarind-dev /dev && mknod -m 666 /dev/null c 1 3 && "
                        "ln -s /proc/self/fd /dev/fd && ln -s /proc/self/fd/1 /dev/stdout && "
                        R"(ln -s /proc/self/fd/2 /dev/stderr && "$0" "$@"; status=$?; )"
                        R"({ stat -c %F /dev/null /dev/stdout; ls -A /dev; } > "$LISTING"; exit $status)"};
  }
  const test::ChildResult run = test::RunTamarind(options);
  ASSERT_FALSE(run.timedOut) << "the run blocked";
  ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
  const bool succeeds = c.what.succeedsOnADevice && std::string_view(c.target.name) == "Device";
  EXPECT_EQ(run.exitCode, succeeds ? 0 : 2) << run.errors;
  if (c.what.pageMadeAnyway) {
    EXPECT_TRUE(test::FileExists(dir.File("out/a.jpg"))) << "a failing report or log stopped the conversion";
  }
  if (c.target.inOwnDev) {
    EXPECT_EQ(test::ReadFileText(dir.File("listing")),
              "character special file\nsymbolic link\nfd\nnull\nstderr\nstdout\n");
  } else {
    struct stat info {};
    ASSERT_EQ(lstat(path.c_str(), &info), 0);
    EXPECT_TRUE(S_ISFIFO(info.st_mode)) << "the FIFO was replaced";
  }
}

std::vector<OutputCase> AllOutputCases() {
  std::vector<OutputCase> cases;
  for (const Switch& what : kSwitches)
    for (const Target& target : kTargets) cases.push_back({what, target});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(AtOutputNames, SpecialOutputs, ::testing::ValuesIn(AllOutputCases()), [](const auto& info) {
  return std::string(info.param.what.name) + "_" + info.param.target.name;
});

// The text beside a page goes through the same writer: a FIFO under its
// name fails it and stays.
TEST(SpecialOutputs, ATextFileNeverReplacesAFifo) {
  if (!ocr::CheckLanguages("eng", ocr::DefaultDataFolder()).ok()) GTEST_SKIP() << "no English recognition data";
  test::ScopedTempDir dir;
  ASSERT_TRUE(tools::WriteWinFaxFile(dir.File("a.fxd"), std::vector{test::WhiteRowsPage(1728, 64, 1)}));
  ASSERT_EQ(mkfifo(dir.File("a.txt").c_str(), 0600), 0);
  test::ChildOptions options;
  options.arguments = {"/ocr", "/f=" + dir.File("a.fxd"), "/sf=" + dir.File("a.jpg"), "/log=/dev/null"};
  options.environment = {"TMPDIR=" + dir.Path()};
  options.limit = std::chrono::seconds(60);
  const test::ChildResult run = test::RunTamarind(options);
  ASSERT_TRUE(run.exited && !run.timedOut);
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_NE(run.errors.find(dir.File("a.txt") + ": is a FIFO"), std::string::npos) << run.errors;
  struct stat info {};
  ASSERT_EQ(lstat(dir.File("a.txt").c_str(), &info), 0);
  EXPECT_TRUE(S_ISFIFO(info.st_mode));
}

}  // namespace
}  // namespace tamarind
