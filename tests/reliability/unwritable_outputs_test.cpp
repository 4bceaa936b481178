// Outputs that cannot be made, as users meet them: a plain user facing a
// destination, an earlier output or a report folder they may not write (in
// a run and in a watch), a file-size limit (ulimit -f), and, as root in a
// mount namespace of the test's own, a full disk and a read-only one. In every format each output that
// cannot be made is one file's failure: the run goes on, the file is named
// with the system's reason on standard error and in the JSON report, and
// the exit status is 2. (CI runs as root, whom permissions do not stop, so
// the plain user's runs are made as nobody.)
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include "child_process.h"
#include "platform/files.h"
#include "support/fax_files.h"
#include "support/real_pages.h"
#include "support/test_files.h"
#include "tools/winfax_writer.h"

namespace tamarind {
namespace {

using ::testing::HasSubstr;

enum class Who {
  kPlainUser,        // nobody (setpriv), or the tester when not root
  kRootInOwnMounts,  // root in a mount namespace of its own (unshare -m)
  kUnderSizeLimit,   // whoever runs the test, with ulimit -f 4 (4 KiB)
};

struct Situation {
  const char* name;
  Who who;
  // Shell lines run before the program in its mount namespace (kRoot...):
  // $OUT is the destination, $EXT the format's extension.
  const char* mounts = "";
  bool watch = false;
  bool reportUnwritable = false;
  bool earlierOutput = false;  // out/a.EXT exists, and may not be written
  const char* cause = "Permission denied";
};

const Situation kSituations[] = {
    {"DestinationFolder", Who::kPlainUser},
    {"EarlierOutput", Who::kPlainUser, "", false, false, true},
    {"ReportFolder", Who::kPlainUser, "", false, true},
    {"Watch", Who::kPlainUser, "", true},
    {"FileSizeLimit", Who::kUnderSizeLimit, "", false, false, false, "File too large"},
    {"FullDisk", Who::kRootInOwnMounts,
     R"(mount -t tmpfs -o size=16k tamarind-full "$OUT" && { head -c 1048576 /dev/zero > "$OUT/filler"; true; })",
     false, false, false, "No space left on device"},
    {"ReadOnlyDisk", Who::kRootInOwnMounts,
     R"(mount -t tmpfs tamarind-ro "$OUT" && echo old > "$OUT/a.$EXT" && mount -o remount,ro "$OUT")", false, false,
     true, "Read-only file system"},
};

struct Case {
  Situation situation;
  const char* format;
};

void PrintTo(const Case& c, std::ostream* out) { *out << c.situation.name << " " << c.format; }

bool Works(const std::string& command) { return test::RunCommand(command + " >/dev/null 2>&1").exitCode == 0; }

// How the program is run as a plain user here: nobody when we are root,
// as we are when not; "" when it cannot be.
std::optional<std::vector<std::string>> PlainUser() {
  if (geteuid() != 0) return std::vector<std::string>{};
  static const bool setpriv = Works("setpriv --reuid=65534 --regid=65534 --clear-groups true");
  if (!setpriv) return std::nullopt;
  return std::vector<std::string>{"setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"};
}

bool OwnMountsAllowed() {
  static const bool allowed = geteuid() == 0 && Works("unshare -m true");
  return allowed;
}

class UnwritableOutputs : public ::testing::TestWithParam<Case> {
 protected:
  void SetUp() override {
    const Situation& s = GetParam().situation;
    if (s.who == Who::kPlainUser && !PlainUser())
      GTEST_SKIP() << "cannot run the program as a plain user here (setpriv refused)";
    if (s.who == Who::kRootInOwnMounts && !OwnMountsAllowed())
      GTEST_SKIP() << "needs root and a mount namespace of its own (unshare -m) for a full or read-only disk";
    // Nobody must get through to the faxes and the temporary folder.
    ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
    for (const char* folder : {"in", "out", "rep", "ro", "tmp"}) ASSERT_TRUE(platform::MakeFolders(dir.File(folder)));
    for (const char* folder : {"rep", "tmp"}) ASSERT_EQ(chmod(dir.File(folder).c_str(), 0777), 0);
    ASSERT_EQ(chmod(dir.File("ro").c_str(), 0555), 0);
    // Root's folder, where nobody may add a file; or, for an earlier output
    // that may not be written, a folder where anybody may.
    const bool earlierOnDisk = s.earlierOutput && s.who == Who::kPlainUser;
    const bool outWritable = earlierOnDisk || s.reportUnwritable || s.who == Who::kUnderSizeLimit;
    ASSERT_EQ(chmod(dir.File("out").c_str(), outWritable ? 0777 : 0555), 0);
    if (earlierOnDisk) {
      test::WriteFileText(Output("a"), "old");
      // Root's file nobody may write; the tester's own is write-protected.
      ASSERT_EQ(chmod(Output("a").c_str(), geteuid() == 0 ? 0644 : 0444), 0);
    }
    // A real page: its PDF and TIFF outgrow the size limit too.
    const tools::WinFaxPageLayout page = test::WinFaxPageOf(test::RealPageNamed("text-standard-g4"));
    for (const char* name : {"a", "b"})
      test::WriteFileBytes(dir.File(std::string("in/") + name + ".fxd"), tools::BuildWinFaxFile(std::vector{page}));
  }

  std::string Output(const std::string& stem) const { return dir.File("out/" + stem + "." + GetParam().format); }

  // The outputs that must fail, with what the user is told.
  std::map<std::string, std::string> Failing() const {
    const Situation& s = GetParam().situation;
    if (s.reportUnwritable) return {};
    std::string cause = s.cause;
    if (s.earlierOutput && s.who == Who::kPlainUser && geteuid() != 0) cause = "is write-protected";
    std::map<std::string, std::string> failing = {{"a", Output("a") + ": " + cause}};
    if (!s.earlierOutput || s.who == Who::kRootInOwnMounts) failing["b"] = Output("b") + ": " + cause;
    return failing;
  }

  test::ChildResult Run() {
    const Situation& s = GetParam().situation;
    test::ChildOptions options;
    const std::string report = dir.File(s.reportUnwritable ? "ro/r.json" : "rep/r.json");
    options.arguments = {
        "/d=" + dir.File("in"), "/sd=" + dir.File("out"), "/fmt=" + std::string(GetParam().format), "/j=1",
        "/log=/dev/null",       "/report=" + report};
    options.environment = {"TMPDIR=" + dir.File("tmp"), "OUT=" + dir.File("out"),
                           "EXT=" + std::string(GetParam().format), "LISTING=" + dir.File("listing")};
    if (s.watch) {
      options.arguments.push_back("/watch=1");
      options.limit = std::chrono::milliseconds(2500);
      options.killAtLimit = true;
      options.killSignal = SIGTERM;
    } else {
      options.limit = std::chrono::seconds(60);
    }
    if (s.who == Who::kPlainUser) {
      options.runUnder = *PlainUser();
    } else if (s.who == Who::kUnderSizeLimit) {
      options.runUnder = {"sh", "-c", R"(ulimit -f 4 && exec "$0" "$@")"};
    } else {
      // The disk lives as long as the namespace: what it holds is listed
      // before both go.
      options.runUnder = {
          "unshare", "-m", "sh", "-c",
          std::string(s.mounts) + R"( && "$0" "$@"; status=$?; ls -A "$OUT" > "$LISTING"; exit $status)"};
    }
    return test::RunTamarind(options);
  }

  // source file name -> its JSON line
  std::map<std::string, nlohmann::json> ReportLines() const {
    std::map<std::string, nlohmann::json> lines;
    std::ifstream report(dir.File("rep/r.json"));
    for (std::string line; std::getline(report, line);) {
      nlohmann::json object = nlohmann::json::parse(line);
      if (object.contains("source"))
        lines[std::filesystem::path(object["source"].get<std::string>()).stem().string()] = object;
    }
    return lines;
  }

  test::ScopedTempDir dir;
};

TEST_P(UnwritableOutputs, EachOutputThatCannotBeMadeFailsItsFileAndTheRunGoesOn) {
  const Situation& s = GetParam().situation;
  const test::ChildResult run = Run();
  ASSERT_FALSE(run.timedOut) << run.errors;
  ASSERT_TRUE(run.exited) << "ended by signal " << run.signal << "\n" << run.errors;
  EXPECT_EQ(run.exitCode, 2) << run.errors;
  if (s.watch) {
    EXPECT_GE(run.endedAfterSignal.count(), 0) << "the watch ended before it was stopped";
  }
  const std::map<std::string, std::string> failing = Failing();
  for (const auto& [stem, said] : failing) EXPECT_THAT(run.errors, HasSubstr("tamarind: " + said + "\n"));

  if (s.reportUnwritable) {
    EXPECT_THAT(run.errors,
                HasSubstr("the report cannot be written: " + dir.File("ro/r.json") + ": Permission denied"));
  } else {
    const auto lines = ReportLines();
    for (const char* stem : {"a", "b"}) {
      ASSERT_TRUE(lines.contains(stem)) << stem;
      const nlohmann::json& line = lines.at(stem);
      if (failing.contains(stem)) {
        EXPECT_EQ(line["status"], "failed") << line;
        EXPECT_EQ(line["reason"], failing.at(stem)) << line;
      } else {
        EXPECT_EQ(line["status"], "converted") << line;
      }
    }
  }
  // What could be made was made; what could not left nothing, and an
  // earlier output stays as it was.
  if (s.who == Who::kRootInOwnMounts) {
    EXPECT_EQ(test::ReadFileText(dir.File("listing")),
              s.earlierOutput ? "a." + std::string(GetParam().format) + "\n" : "filler\n");
    return;
  }
  for (const char* stem : {"a", "b"}) {
    if (failing.contains(stem)) continue;
    EXPECT_TRUE(std::filesystem::is_regular_file(Output(stem))) << stem;
  }
  if (s.earlierOutput) {
    EXPECT_EQ(test::ReadFileText(Output("a")), "old");
  } else if (!s.reportUnwritable) {
    EXPECT_TRUE(std::filesystem::is_empty(dir.File("out")));
  }
}

std::vector<Case> AllCases() {
  std::vector<Case> cases;
  for (const Situation& situation : kSituations)
    for (const char* format : {"jpg", "pdf", "tif"}) cases.push_back({situation, format});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, UnwritableOutputs, ::testing::ValuesIn(AllCases()), [](const auto& info) {
  return std::string(info.param.situation.name) + "_" + info.param.format;
});

// The thumbnailer writes one file: a folder it may not write is its
// failure, said, with status 2.
TEST(UnwritableThumbnail, FailsWithItsReason) {
  const auto plainUser = PlainUser();
  if (!plainUser) GTEST_SKIP() << "cannot run the program as a plain user here (setpriv refused)";
  test::ScopedTempDir dir;
  ASSERT_EQ(chmod(dir.Path().c_str(), 0755), 0);
  ASSERT_TRUE(platform::MakeFolders(dir.File("ro")));
  ASSERT_EQ(chmod(dir.File("ro").c_str(), 0555), 0);
  ASSERT_TRUE(tools::WriteWinFaxFile(dir.File("a.fxd"), std::vector{test::WhiteRowsPage(1728, 64, 1)}));
  test::ChildOptions options;
  options.runUnder = *plainUser;
  options.arguments = {"--thumbnail", dir.File("a.fxd"), dir.File("ro/a.png"), "128"};
  const test::ChildResult run = test::RunTamarind(options);
  ASSERT_TRUE(run.exited) << "ended by signal " << run.signal;
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_EQ(run.errors, "tamarind: no thumbnail: " + dir.File("ro/a.png") + ": Permission denied\n");
  EXPECT_TRUE(std::filesystem::is_empty(dir.File("ro")));
}

}  // namespace
}  // namespace tamarind
