// Faxes as one PDF or TIFF each, from the command line: names, report
// lines, left-out pages, dates and refused formats. What the documents hold
// is the writers' tests' concern.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <regex>

#include "platform/files.h"
#include "support/fax_files.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using test::ShellQuote;
using ::testing::HasSubstr;

struct Format {
  const char* name;       // the /fmt= value
  const char* extension;  // of the outputs
  const char* pageCounter;  // prints the page count of the file named last
};

class DocumentRun : public ::testing::TestWithParam<Format> {
 protected:
  test::CommandResult Tamarind(const std::string& arguments) {
    return test::RunCommand("cd " + ShellQuote(dir.Path()) + " && TMPDIR=" + ShellQuote(dir.Path()) + " " +
                            ShellQuote(test::BinaryDir() + "/tamarind") + " " + arguments +
                            " /log=" + ShellQuote(dir.File("log.txt")) + " 2>" + ShellQuote(dir.File("err.txt")));
  }

  int Pages(const std::string& path) {
    test::CommandResult counted = test::RunCommand(std::string(GetParam().pageCounter) + " " + ShellQuote(path));
    return counted.exitCode == 0 ? std::stoi(counted.output) : -1;
  }

  test::ScopedTempDir dir;
};

TEST_P(DocumentRun, OneFilePerFaxWithTheMissingPagesNamed) {
  const std::string ext = GetParam().extension;
  ASSERT_TRUE(platform::MakeFolders(dir.File("in")));
  test::WriteFaxFile(dir.File("in/good.fxd"), {"text-fine-g3", "text-standard-g4"});
  test::WriteFaxFile(dir.File("in/torn.fxs"), {"text-standard-g3", test::kEmptyPage, "wide-g4"});
  test::WriteFaxFile(dir.File("in/empty.fxd"), {test::kEmptyPage});

  test::CommandResult run = Tamarind("/d=in /sd=out /ke /l /fmt=" + std::string(GetParam().name));
  EXPECT_EQ(run.exitCode, 2);
  EXPECT_THAT(run.output, HasSubstr("in/good.fxd --> out/good.fxd" + ext + " : Success !\n"));
  EXPECT_THAT(run.output, HasSubstr("in/torn.fxs --> out/torn.fxs" + ext + " : Failed : in/torn.fxs - page 002 of 3 missing\n"));
  EXPECT_THAT(run.output, HasSubstr("Failed : in/empty.fxd - Not Fax\n"));
  EXPECT_THAT(run.output, HasSubstr("Total converted FAX files: 1\n"));
  EXPECT_EQ(Pages(dir.File("out/good.fxd" + ext)), 2);
  EXPECT_EQ(Pages(dir.File("out/torn.fxs" + ext)), 2);
  EXPECT_FALSE(test::FileExists(dir.File("out/empty.fxd" + ext)));
  EXPECT_EQ(platform::StatusOf(dir.File("out/good.fxd" + ext))->modified,
            platform::StatusOf(dir.File("in/good.fxd"))->modified);

  // One file, named as given.
  EXPECT_EQ(Tamarind("/q /f=in/good.fxd /sf=one/fax.doc /fmt=" + std::string(GetParam().name)).exitCode, 0);
  EXPECT_EQ(Pages(dir.File("one/fax.doc")), 2);
}

INSTANTIATE_TEST_SUITE_P(Formats, DocumentRun,
                         ::testing::Values(Format{"pdf", ".pdf", "sh -c 'pdfinfo \"$0\" | sed -n \"s/^Pages: *//p\"'"},
                                           Format{"TIF", ".tif", "sh -c 'tiffinfo \"$0\" 2>/dev/null | grep -c \"TIFF Directory\"'"}),
                         [](const auto& info) { return std::string(info.param.extension + 1); });

TEST(DocumentFormat, AnUnknownFormatIsRefusedAndNothingConverted) {
  test::ScopedTempDir dir;
  test::WriteFaxFile(dir.File("a.fxd"), {"text-fine-g3"});
  test::CommandResult run = test::RunCommand("cd " + ShellQuote(dir.Path()) + " && " +
                                             ShellQuote(test::BinaryDir() + "/tamarind") +
                                             " /f=a.fxd /sf=out/a.png /fmt=png /log=log.txt 2>&1");
  EXPECT_EQ(run.exitCode, 64);
  EXPECT_THAT(run.output, HasSubstr("/fmt=png"));
  EXPECT_FALSE(test::FileExists(dir.File("out")));
  EXPECT_FALSE(test::FileExists(dir.File("log.txt")));
}

}  // namespace
}  // namespace tamarind
