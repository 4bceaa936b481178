// The file system around the faxes, as a shared drop folder or a script
// gives it: links planted in the destination, names that look like report
// lines, a closed or full standard output and an unusable temporary folder.
// Each run keeps its outputs, says why, and fails where it must. (An output
// marked write-protected is kept, root's runs too: the atomic writer's fuzz
// target.)
#include <unistd.h>

#include <filesystem>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/fax_files.h"
#include "support/test_files.h"
#include "tools/winfax_writer.h"

namespace tamarind {
namespace {

using test::ShellQuote;
using ::testing::HasSubstr;
using ::testing::Not;

class Surroundings : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(platform::MakeFolders(dir.File("in/sub"))); }

  void Fax(const std::string& name) {
    ASSERT_TRUE(tools::WriteWinFaxFile(dir.File(name), std::vector{test::WhiteRowsPage(1728, 64, 1)}));
  }

  // Runs tamarind in the scratch folder, standard error into err.txt.
  test::CommandResult Tamarind(const std::string& arguments, const std::string& tmpdir = "") {
    return test::RunProgram(dir.Path(), arguments + " 2>err.txt", tmpdir.empty() ? "" : "TMPDIR=" + ShellQuote(tmpdir));
  }
  std::string Err() { return test::ReadFileText(dir.File("err.txt")); }

  test::ScopedTempDir dir;
};

TEST_F(Surroundings, ALinkPlantedInTheDestinationIsNotFollowed) {
  Fax("in/sub/b.fxd");
  ASSERT_TRUE(platform::MakeFolders(dir.File("out")));
  ASSERT_TRUE(platform::MakeFolders(dir.File("elsewhere")));
  ASSERT_EQ(symlink("../elsewhere", dir.File("out/sub").c_str()), 0);
  test::CommandResult run = Tamarind("/i /kh /d=in /sd=out");
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_THAT(run.output, HasSubstr("Failed to create dir: out/sub"));
  EXPECT_THAT(Err(), HasSubstr("symbolic link"));
  EXPECT_FALSE(test::FileExists(dir.File("elsewhere/b.jpg")));
}

TEST_F(Surroundings, NamesCannotForgeReportLinesOrReachTheTerminal) {
  Fax("in/nl\nSuccess !\r\nfake.fxs");
  Fax("in/\x1b[31mred.fxd");
  test::CommandResult run = Tamarind("/d=in /sd=out");
  EXPECT_EQ(run.exitCode, 0);
  const std::string log = test::ReadFileText(dir.File(".user/state/tamarind/log/tmdlog.txt"));
  for (const std::string& text : {run.output, log}) {
    EXPECT_THAT(text, HasSubstr("in/nl\\nSuccess !\\r\\nfake.fxs --> out/nl\\nSuccess !\\r\\nfake.jpg : Success !"));
    EXPECT_THAT(text, HasSubstr("in/\\x1b[31mred.fxd"));
    EXPECT_THAT(text, Not(HasSubstr("\x1b")));
    EXPECT_THAT(text, Not(HasSubstr("\nSuccess !")));
  }
}

// A closed pipe or a full disk behind standard output loses the printed
// report, never the conversions or the log, and the exit status says so.
TEST_F(Surroundings, AFailingStandardOutputStopsNoWork) {
  Fax("in/a.fxd");
  for (const std::string redirect : {"| true", "> /dev/full"}) {
    SCOPED_TRACE(redirect);
    std::filesystem::remove_all(dir.File("out"));
    // The program's own status, whatever the pipe's end does.
    test::RunCommand("(" + test::ProgramCommand(dir.Path(), "/d=in /sd=out 2>err.txt") + "; echo $? >status) " +
                     redirect);
    EXPECT_EQ(test::ReadFileText(dir.File("status")), "2\n");
    EXPECT_TRUE(test::FileExists(dir.File("out/a.jpg")));
    EXPECT_THAT(Err(), HasSubstr("report could not be written"));
  }
  EXPECT_THAT(test::ReadFileText(dir.File(".user/state/tamarind/log/tmdlog.txt")), HasSubstr("a.jpg : Success !"));
}

// Pages need no temporary file; only one the bilevel encoder refuses (here
// a page with no rows) goes through the temporary BMP.
TEST_F(Surroundings, AnUnusableTemporaryFolderIsNamed) {
  ASSERT_TRUE(tools::WriteWinFaxFile(dir.File("in/a.fxd"),
                                     std::vector{test::WhiteRowsPage(1728, 64, 1), tools::WinFaxPageLayout()}));
  test::CommandResult run = Tamarind("/d=in /sd=out", dir.File("no-such-folder"));
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_THAT(run.output, HasSubstr("a001.jpg : Success !"));
  EXPECT_THAT(run.output, HasSubstr("Error in preparing jpeg"));
  EXPECT_THAT(Err(), HasSubstr("no-such-folder"));
}

}  // namespace
}  // namespace tamarind
