// `tamarind --info` as a user runs it, on a fax that make-winfax gave a
// header text per page: the rows as the reader decodes them (checked
// against an independent decoder in the reader's tests), the texts decoded
// and escaped, the JSON read back by Python's parser.
#include "cli/info_run.h"

#include <sys/stat.h>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "faxdoc/fax_document.h"
#include "support/real_pages.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using ::testing::HasSubstr;

std::string Program() { return test::ShellQuote(test::BinaryDir() + "/tamarind"); }

class InfoTest : public ::testing::Test {
 protected:
  // Two real pages, the first with |header|, the second with none: the
  // option holds from the page it precedes on.
  std::string MakeFax(const std::string& header) {
    const test::RealPage& first = test::RealPageNamed("text-standard-g3");
    const test::RealPage& second = test::RealPageNamed("text-fine-g4");
    test::WriteFileBytes(dir_.File("1.g3"), first.coded);
    test::WriteFileBytes(dir_.File("2.g4"), second.coded);
    const std::string fax = dir_.File("fax.fxd");
    const test::CommandResult made = test::RunCommand(
        test::ShellQuote(test::BinaryDir() + "/tools/make-winfax") + " -o " + test::ShellQuote(fax) +
        " --msb --header " + test::ShellQuote(header) + " --g3 --res 0 " + test::ShellQuote(dir_.File("1.g3")) +
        " --header '' --g4 --res 1 " + test::ShellQuote(dir_.File("2.g4")));
    EXPECT_EQ(made.exitCode, 0);
    return fax;
  }

  test::ScopedTempDir dir_;
};

TEST_F(InfoTest, DescribesEachPageWithItsOwnHeaderText) {
  const std::string fax = MakeFax("Acme \x93Q3\x94\x1b[31m\r\x81");
  FaxDocument document;
  ASSERT_EQ(document.Load(fax, kWinFaxFormat), 0);
  const std::string rows1 = std::to_string(document.Page().height);
  ASSERT_EQ(document.DecodePage(kWinFaxFormat, 1), 0);
  const std::string rows2 = std::to_string(document.Page().height);

  const test::CommandResult text = test::RunCommand(Program() + " --info " + test::ShellQuote(fax));
  ASSERT_EQ(text.exitCode, 0);
  EXPECT_EQ(text.output, fax + ": 2 pages\n  page 1: 1728 x " + rows1 +
                             " pixels, 204 x 98 dpi (standard), Group 3, header: Acme \u201cQ3\u201d\\x1b[31m\\r\\x81\n"
                             "  page 2: 1728 x " +
                             rows2 + " pixels, 204 x 196 dpi (fine), Group 4, no header text\n");

  // Python's parser is the oracle that the object is JSON; printed back
  // sorted and ASCII-escaped, it is compared whole.
  const test::CommandResult json =
      test::RunCommand(Program() + " --info --json " + test::ShellQuote(fax) +
                       " | python3 -c 'import json,sys; print(json.dumps(json.load(sys.stdin), sort_keys=True))'");
  ASSERT_EQ(json.exitCode, 0);
  EXPECT_EQ(json.output,
            "{\"header\": \"Acme \\u201cQ3\\u201d\\\\x1b[31m\\\\r\\\\x81\", \"pages\": ["
            "{\"coding\": \"group3\", \"header\": \"Acme \\u201cQ3\\u201d\\\\x1b[31m\\\\r\\\\x81\", \"height\": " +
                rows1 +
                ", \"width\": 1728, \"x_dpi\": 204, \"y_dpi\": 98}, "
                "{\"coding\": \"group4\", \"header\": null, \"height\": " +
                rows2 + ", \"width\": 1728, \"x_dpi\": 204, \"y_dpi\": 196}], \"source\": \"" + fax + "\"}\n");
}

struct Refused {
  const char* name;
  std::string arguments;  // after --info, shell words
  int exitCode;
  const char* message;
};

void PrintTo(const Refused& c, std::ostream* out) { *out << c.name; }

class InfoRefusal : public ::testing::TestWithParam<Refused> {};

// Nothing on standard output, a status and the reason on standard error.
TEST_P(InfoRefusal, SaysWhyWithItsStatus) {
  test::ScopedTempDir dir;
  ASSERT_EQ(mkfifo(dir.File("pipe.fxd").c_str(), 0600), 0);
  test::WriteFileText(dir.File("notes.fxd"), "To: accounts\n");
  const test::CommandResult run = test::RunCommand("cd " + test::ShellQuote(dir.Path()) + " && timeout -s KILL 20 " +
                                                   Program() + " --info " + GetParam().arguments + " 2>err");
  EXPECT_EQ(run.exitCode, GetParam().exitCode);
  EXPECT_EQ(run.output, "");
  EXPECT_THAT(test::ReadFileText(dir.File("err")), HasSubstr(GetParam().message));
}

INSTANTIATE_TEST_SUITE_P(Cases, InfoRefusal,
                         ::testing::Values(Refused{"NotAFax", "--json notes.fxd", 2, "notes.fxd: not a WinFax file"},
                                           Refused{"Missing", "gone.fxd", 2, "gone.fxd: No such file or directory"},
                                           Refused{"Pipe", "pipe.fxd", 2, "pipe.fxd: is a FIFO"},
                                           Refused{"NoFile", "--json", 64, "usage: tamarind --info [--json] FILE"},
                                           Refused{"TwoFiles", "notes.fxd gone.fxd", 64, "usage"}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tamarind
