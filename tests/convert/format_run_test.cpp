// Every output format from the command line: the files a fax gives and the
// lines of faxes that lost pages (one that is longer than the pages the
// reader keeps included). What the files hold is the writers' tests'
// concern; outputs that cannot be written, the reliability tests'.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

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
  // Prints the page count of the file named last, failing when the reader
  // fails; "" for JPEG, whose pages are files.
  const char* pageCounter;
};

class FormatRun : public ::testing::TestWithParam<Format> {
 protected:
  // Runs tamarind in the scratch folder after the shell lines |limits|,
  // standard error into Err().
  test::CommandResult Tamarind(const std::string& arguments, const std::string& limits = "") {
    return test::RunCommand(
        limits + test::ProgramCommand(dir.Path(), arguments + " /fmt=" + GetParam().name + " /log=log.txt 2>err.txt"));
  }
  std::string Err() { return test::ReadFileText(dir.File("err.txt")); }
  bool Jpeg() const { return std::string(GetParam().extension) == ".jpg"; }

  // The pages of the output of fax |stem| in out/.
  int Pages(const std::string& stem) {
    if (Jpeg()) {
      int files = 0;
      for (const auto& entry : std::filesystem::directory_iterator(dir.File("out")))
        files += entry.path().filename().string().starts_with(stem + ".fx");
      return files;
    }
    const std::string path = dir.File("out/" + stem + ".fxd" + GetParam().extension);
    test::CommandResult counted = test::RunCommand(std::string(GetParam().pageCounter) + " " + ShellQuote(path));
    return counted.exitCode == 0 ? std::stoi(counted.output) : -1;
  }

  test::ScopedTempDir dir;
};

// A fax that lost a page, or has more than the reader keeps, fails in every
// format with a line naming what it lost. The run writes over a thousand
// JPEGs under a limit of 64 descriptors: none may stay open.
TEST_P(FormatRun, LostPagesAreNamedAndFailTheFax) {
  const std::string ext = GetParam().extension;
  ASSERT_TRUE(platform::MakeFolders(dir.File("in")));
  test::WriteFaxFile(dir.File("in/good.fxd"), {"text-fine-g3", "text-standard-g4"});
  test::WriteFaxFile(dir.File("in/torn.fxd"), {"text-standard-g3", test::kEmptyPage, "wide-g4"});
  test::WriteFaxFile(dir.File("in/empty.fxd"), {test::kEmptyPage});
  ASSERT_TRUE(tools::WriteWinFaxFile(dir.File("in/long.fxd"), std::vector(1500, test::WhiteRowsPage(16, 8, 1))));

  test::CommandResult run = Tamarind("/d=in /sd=out /ke /l", "ulimit -n 64 && ");
  EXPECT_EQ(run.exitCode, 2) << Err();
  const std::string out = Jpeg() ? "out/torn.fxd003.jpg : Success !\n" : "out/torn.fxd" + ext + " : ";
  EXPECT_THAT(run.output, HasSubstr(out + "Failed : in/torn.fxd - page 002 of 3 missing\n"));
  EXPECT_THAT(run.output, HasSubstr("Failed : in/long.fxd - pages 1025-1500 of 1500 missing\n"));
  EXPECT_THAT(run.output, HasSubstr("Failed : in/empty.fxd - Not Fax\n"));
  EXPECT_THAT(run.output, HasSubstr("Total converted FAX files: 1\n"));
  EXPECT_THAT(Err(), HasSubstr("tamarind: in/torn.fxd: page 2: no line of it could be decoded\n"));
  EXPECT_THAT(Err(), HasSubstr("tamarind: in/long.fxd: pages 1025-1500 not read"));
  EXPECT_EQ(Pages("good"), 2);
  EXPECT_EQ(Pages("torn"), 2);
  EXPECT_EQ(Pages("long"), 1024);
  EXPECT_FALSE(test::FileExists(dir.File("out/empty.fxd" + ext)));
  const std::string first = Jpeg() ? "out/good.fxd001.jpg" : "out/good.fxd" + ext;
  EXPECT_EQ(platform::StatusOf(dir.File(first))->modified, platform::StatusOf(dir.File("in/good.fxd"))->modified);

  // One fax, named as given.
  EXPECT_EQ(Tamarind("/q /f=in/good.fxd /sf=one/fax.doc").exitCode, 0) << Err();
  EXPECT_TRUE(test::FileExists(dir.File(Jpeg() ? "one/fax001.jpg" : "one/fax.doc")));
}

INSTANTIATE_TEST_SUITE_P(
    Formats, FormatRun,
    ::testing::Values(
        Format{"jpg", ".jpg", ""},
        Format{"pdf", ".pdf", "sh -c 'info=$(pdfinfo \"$0\") && echo \"$info\" | sed -n \"s/^Pages: *//p\"'"},
        Format{"TIF", ".tif",
               "sh -c 'info=$(tiffinfo \"$0\" 2>/dev/null) && echo \"$info\" | grep -c \"TIFF Directory\"'"}),
    [](const auto& info) { return std::string(info.param.extension + 1); });

TEST(FormatSwitch, AnUnknownFormatIsRefusedAndNothingConverted) {
  test::ScopedTempDir dir;
  test::WriteFaxFile(dir.File("a.fxd"), {"text-fine-g3"});
  test::CommandResult run = test::RunProgram(dir.Path(), "/f=a.fxd /sf=out/a.png /fmt=png /log=log.txt 2>&1");
  EXPECT_EQ(run.exitCode, 64);
  EXPECT_THAT(run.output, HasSubstr("/fmt=png"));
  EXPECT_FALSE(test::FileExists(dir.File("out")));
  EXPECT_FALSE(test::FileExists(dir.File("log.txt")));
}

}  // namespace
}  // namespace tamarind
