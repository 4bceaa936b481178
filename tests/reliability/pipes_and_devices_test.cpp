// A pipe or a device where the program expects a file (a source, a ".g3f"
// name whose content is tested, the log) fails at once: the run ends with
// its report, it never waits for a writer.
#include <sys/stat.h>

#include <gtest/gtest.h>

#include "child_process.h"
#include "support/test_files.h"
#include "support/winfax_pages.h"
#include "tools/winfax_writer.h"

namespace tamarind {
namespace {

struct SpecialCase {
  const char* name;
  const char* source;      // file named by /f=
  const char* log;         // file named by /log=
  int exitCode;
  const char* reportLine;  // expected in the report ("" for none)
};

void PrintTo(const SpecialCase& c, std::ostream* out) { *out << c.name; }

class SpecialFiles : public ::testing::TestWithParam<SpecialCase> {};

TEST_P(SpecialFiles, FailAtOnceInsteadOfBlocking) {
  const SpecialCase& c = GetParam();
  test::ScopedTempDir dir;
  ASSERT_EQ(mkfifo(dir.File("pipe.fxd").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(dir.File("pipe.g3f").c_str(), 0600), 0);
  ASSERT_EQ(mkfifo(dir.File("pipe.log").c_str(), 0600), 0);
  ASSERT_TRUE(tools::WriteWinFaxFile(dir.File("good.fxd"), std::vector{test::WhiteRowsPage(1728, 64, 1)}));

  test::ChildOptions options;
  options.arguments = {"/f=" + dir.File(c.source), "/sf=" + dir.File("out.jpg"), "/log=" + dir.File(c.log)};
  options.environment = {"TMPDIR=" + dir.Path(), "XDG_CONFIG_HOME=" + dir.File("xdg"),
                         "XDG_STATE_HOME=" + dir.File("xdg")};
  options.limit = std::chrono::seconds(20);  // a hang guard, not a speed target
  const test::ChildResult run = test::RunTamarind(options);
  ASSERT_FALSE(run.timedOut) << "the run blocked";
  ASSERT_TRUE(run.exited);
  EXPECT_EQ(run.exitCode, c.exitCode) << run.output;
  EXPECT_NE(run.output.find(c.reportLine), std::string::npos) << run.output;
}

INSTANTIATE_TEST_SUITE_P(
    PipesAndDevices, SpecialFiles,
    ::testing::Values(SpecialCase{"FifoSource", "pipe.fxd", "run.log", 2, "Failed : "},
                      SpecialCase{"FifoG3fSource", "pipe.g3f", "run.log", 2, "Not WinFax File"},
                      // Converted, but the lost log entry fails the run.
                      SpecialCase{"FifoLog", "good.fxd", "pipe.log", 2, "Success !"}),
    [](const ::testing::TestParamInfo<SpecialCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tamarind
