// The real program from the command line: report on standard output, the
// log in the per-user state folder, and the exit status.
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/fax_files.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using test::ShellQuote;

class CommandLineRun : public ::testing::Test {
 protected:
  // Runs tamarind with |arguments| in the scratch folder, its per-user
  // folders inside it; collects standard output, or what |redirect| says.
  test::CommandResult Tamarind(const std::string& arguments, const std::string& redirect = " 2>/dev/null") {
    return test::RunProgram(dir.Path(), arguments + redirect);
  }
  std::string Log() { return test::ReadFileText(dir.File(".user/state/tamarind/log/tmdlog.txt")); }

  test::ScopedTempDir dir;
};

TEST_F(CommandLineRun, SingleFileConvertsPrintsAndLogs) {
  test::WriteFaxFile(dir.File("a.fxd"), {"text-standard-g4"});
  // One page goes under the destination itself; missing folders are made.
  test::CommandResult run = Tamarind("/f=a.fxd /sf=out/deep/a.jpg");
  EXPECT_EQ(run.exitCode, 0);
  EXPECT_EQ(run.output, "Tamarind command line mode : convert file\na.fxd --> out/deep/a.jpg : Success !\n");
  EXPECT_TRUE(test::IsWholeJpeg(dir.File("out/deep/a.jpg")));
  EXPECT_NE(Log().find("Tamarind command line mode : convert file\r\na.fxd --> out/deep/a.jpg : Success !\r\n---"),
            std::string::npos);
  // Only the JPEG is left behind: no temporary BMP, no half-written file.
  auto entries = platform::ListFolder(dir.Path());
  ASSERT_TRUE(entries);
  EXPECT_EQ(entries->size(), 3u);  // a.fxd, out, state
}

// The output is named as given; a name with another format's extension is
// said on standard error, so a forgotten /fmt= does not pass unnoticed.
TEST_F(CommandLineRun, DestinationNamedForAnotherFormatIsSaid) {
  test::WriteFaxFile(dir.File("a.fxd"), {"text-standard-g4"});
  const struct {
    std::string switches;
    std::string warning;
  } cases[] = {
      {"/sf=x.pdf", "tamarind: x.pdf: written as jpg, not as its name says; /fmt=pdf writes that format\n"},
      {"/sf=x.TIFF /fmt=pdf", "tamarind: x.TIFF: written as pdf, not as its name says; /fmt=tif writes that format\n"},
      {"/sf=x.jpeg /fmt=tif", "tamarind: x.jpeg: written as tif, not as its name says; /fmt=jpg writes that format\n"},
      {"/sf=x.JPG", ""},
      {"/sf=y.pdf /fmt=pdf", ""},
      {"/sf=x.out", ""},
      {"/sf=pdf", ""},
  };
  for (const auto& c : cases) {
    test::CommandResult run = Tamarind("/q /f=a.fxd " + c.switches, " 2>&1 >/dev/null");
    EXPECT_EQ(run.exitCode, 0) << c.switches;
    EXPECT_EQ(run.output, c.warning) << c.switches;
  }
  EXPECT_TRUE(test::IsWholeJpeg(dir.File("x.pdf")));
}

// The report and the log never replace an input or an output: refused as a
// switch is, before anything is written, with the file named.
TEST_F(CommandLineRun, RunFilesNamingInputsOrOutputsAreRefused) {
  test::WriteFaxFile(dir.File("a.fxd"), {"text-fine-g3", "text-fine-g4"});
  ASSERT_EQ(symlink("a.fxd", dir.File("link.fxd").c_str()), 0);
  const std::vector<uint8_t> fax = test::ReadFileBytes(dir.File("a.fxd"));
  const std::pair<const char*, const char*> refused[] = {
      {"/report=a.fxd", "tamarind: /report=a.fxd: names a.fxd, an input of this run"},
      {"/report=link.fxd", "tamarind: /report=link.fxd: names a.fxd, an input of this run"},
      {"/log=./a.fxd", "tamarind: /log=./a.fxd: names a.fxd, an input of this run"},
      {"/report=out/a002.jpg", "tamarind: /report=out/a002.jpg: an output of a.fxd may take its name"},
      {"/ocr /report=out/a.txt", "tamarind: /report=out/a.txt: an output of a.fxd may take its name"},
  };
  for (const auto& [switches, said] : refused) {
    test::CommandResult run = Tamarind("/f=a.fxd /sf=out/a.jpg " + std::string(switches), " 2>&1");
    EXPECT_EQ(run.exitCode, 64) << switches;
    EXPECT_EQ(run.output.substr(0, run.output.find('\n')), said) << switches;
  }
  EXPECT_TRUE(test::ReadFileBytes(dir.File("a.fxd")) == fax);
  EXPECT_FALSE(test::FileExists(dir.File("out")));
  EXPECT_FALSE(test::FileExists(dir.File(".user/state")));  // no log either

  test::CommandResult thumbnail = Tamarind(
      "--thumbnail " + ShellQuote(dir.File("a.fxd")) + " " + ShellQuote(dir.File("./a.fxd")) + " 128", " 2>&1");
  EXPECT_EQ(thumbnail.exitCode, 64);
  EXPECT_EQ(thumbnail.output, "tamarind: " + dir.File("./a.fxd") + ": names the fax the thumbnail is made from\n");
  EXPECT_TRUE(test::ReadFileBytes(dir.File("a.fxd")) == fax);
}

// Standard output lost under /report=- (closed, full, a reader gone): the
// report is not all there, which fails the run and is said.
TEST_F(CommandLineRun, ALostJsonReportOnStandardOutputFailsTheRun) {
  test::WriteFaxFile(dir.File("a.fxd"), {"text-fine-g3"});
  const std::pair<const char*, const char*> losses[] = {
      {">&-", "Bad file descriptor"}, {">/dev/full", "No space left on device"}, {"| true", "Broken pipe"}};
  for (const auto& [redirection, cause] : losses) {
    test::RunCommand("{ " +
                     test::ProgramCommand(dir.Path(), "/f=a.fxd /sf=out/a.jpg /report=- /log=log.txt 2>err.txt") +
                     "; echo $? >status; } " + redirection);
    EXPECT_EQ(test::ReadFileText(dir.File("status")), "2\n") << redirection;
    EXPECT_NE(test::ReadFileText(dir.File("err.txt"))
                  .find(std::string("tamarind: the report cannot be written: "
                                    "standard output: ") +
                        cause),
              std::string::npos)
        << redirection << ": " << test::ReadFileText(dir.File("err.txt"));
  }
}

}  // namespace
}  // namespace tamarind
