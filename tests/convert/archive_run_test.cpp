// What an archive keeps of a fax beyond its pages, from the command line:
// the first page header's text as the document's subject, alike in the
// PDF's Info dictionary and XMP, the TIFF's ImageDescription and the JSON
// report; and with /embed the fax file itself inside its PDF.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>

#include "support/fax_files.h"
#include "support/real_pages.h"
#include "support/test_files.h"
#include "tools/winfax_writer.h"

namespace tamarind {
namespace {

using test::ShellQuote;
using ::testing::HasSubstr;

// Bytes as the sender's software stores them: Windows-1252 letters, the
// euro sign (0x80), a byte Windows-1252 leaves undefined (0x9D), a carriage
// return and an escape; and as every output shows them.
constexpr char kStoredHeader[] = "M\xFCller \x80 5\x9D\r\x1b<&>";
constexpr char kShownHeader[] = "M\xC3\xBCller \xE2\x82\xAC 5\\x9d\\r\\x1b<&>";

// What a tool printed; its exit status must be 0.
std::string Tool(const std::string& command) {
  test::CommandResult run = test::RunCommand(command);
  EXPECT_EQ(run.exitCode, 0) << command;
  return run.output;
}

// The value of |key| in a tool's "Key: value" lines.
std::string Field(const std::string& lines, const std::string& key) {
  const size_t at = lines.find(key + ":");
  if (at == std::string::npos) return "(no " + key + ")";
  const size_t start = lines.find_first_not_of(' ', at + key.size() + 1);
  return lines.substr(start, lines.find('\n', start) - start);
}

class ArchiveRun : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(dir.File("in"));
    tools::WinFaxPageLayout first = test::WinFaxPageOf(test::RealPageNamed("text-fine-g3"));
    first.text = kStoredHeader;
    tools::WinFaxPageLayout second = test::WinFaxPageOf(test::RealPageNamed("text-standard-g4"));
    second.text = "another page's text";
    ASSERT_TRUE(tools::WriteWinFaxFile(dir.File("in/a.fxd"), std::vector{first, second}));
    ASSERT_TRUE(tools::WriteWinFaxFile(dir.File("in/plain.fxd"),
                                       std::vector{test::WinFaxPageOf(test::RealPageNamed("text-fine-g4"))}));
  }

  test::CommandResult Tamarind(const std::string& arguments) {
    return test::RunCommand("cd " + ShellQuote(dir.Path()) + " && TMPDIR=. XDG_STATE_HOME=state " +
                            ShellQuote(test::BinaryDir() + "/tamarind") + " /q /log=/dev/null " + arguments + " 2>&1");
  }

  test::ScopedTempDir dir;
};

TEST_F(ArchiveRun, TheFirstPageHeaderIsTheSubjectInEveryFormatAndReport) {
  ASSERT_EQ(Tamarind("/d=in /sd=pdf /fmt=pdf /report=pdf.json").exitCode, 0);
  ASSERT_EQ(Tamarind("/d=in /sd=tif /fmt=tif /report=tif.json").exitCode, 0);
  const std::string pdf = ShellQuote(dir.File("pdf/a.pdf"));
  EXPECT_EQ(Field(Tool("pdfinfo " + pdf), "Subject"), kShownHeader);
  EXPECT_THAT(Tool("pdfinfo -meta " + pdf),
              HasSubstr("<dc:description><rdf:Alt><rdf:li xml:lang=\"x-default\">" +
                        std::string(kShownHeader).replace(std::string(kShownHeader).find("<&>"), 3, "&lt;&amp;&gt;") +
                        "</rdf:li></rdf:Alt></dc:description>"));
  // Every directory says it.
  const std::string tiff = Tool("tiffinfo " + ShellQuote(dir.File("tif/a.tif")));
  EXPECT_EQ(Field(tiff, "ImageDescription"), kShownHeader);
  size_t descriptions = 0;
  for (size_t at = tiff.find("ImageDescription"); at != std::string::npos; at = tiff.find("ImageDescription", at + 1))
    ++descriptions;
  EXPECT_EQ(descriptions, 2u) << tiff;
  for (const char* report : {"pdf.json", "tif.json"}) {
    const std::string lines = test::ReadFileText(dir.File(report));
    for (size_t at = 0; lines.find('\n', at) != std::string::npos; at = lines.find('\n', at) + 1) {
      const nlohmann::json line = nlohmann::json::parse(lines.substr(at, lines.find('\n', at) - at));
      if (!line.contains("source")) continue;
      // A fax without text says so rather than showing "".
      const nlohmann::json wanted = line["source"] == "in/a.fxd" ? nlohmann::json(kShownHeader) : nlohmann::json();
      EXPECT_EQ(line["header"], wanted) << report << ": " << line.dump();
    }
  }
  // Without text, no subject at all.
  const std::string plain = Tool("pdfinfo " + ShellQuote(dir.File("pdf/plain.pdf")));
  EXPECT_THAT(plain, ::testing::Not(HasSubstr("Subject:")));
  EXPECT_THAT(Tool("tiffinfo " + ShellQuote(dir.File("tif/plain.tif"))), ::testing::Not(HasSubstr("ImageDescription")));
}

// With /embed the PDF is PDF/A-3b and gives the fax back byte for byte;
// without, it is PDF/A-2b and carries nothing. Other formats ignore it.
TEST_F(ArchiveRun, EmbedCarriesTheFaxFileInItsPdf) {
  ASSERT_EQ(Tamarind("/d=in /sd=embedded /fmt=pdf /embed").exitCode, 0);
  ASSERT_EQ(Tamarind("/d=in /sd=plain /fmt=pdf").exitCode, 0);
  ASSERT_EQ(Tamarind("/f=in/a.fxd /sf=tif/a.tif /fmt=tif /embed").exitCode, 0);
  const std::string embedded = ShellQuote(dir.File("embedded/a.pdf"));
  EXPECT_THAT(Tool("pdfdetach -list " + embedded), HasSubstr("1 embedded files\n1: a.fxd\n"));
  Tool("pdfdetach -save 1 -o " + ShellQuote(dir.File("back.fxd")) + " " + embedded);
  EXPECT_EQ(test::ReadFileBytes(dir.File("back.fxd")), test::ReadFileBytes(dir.File("in/a.fxd")));
  EXPECT_THAT(Tool("pdfinfo -meta " + embedded), HasSubstr("<pdfaid:part>3</pdfaid:part>"));
  EXPECT_THAT(Tool("qpdf --check " + embedded), HasSubstr("No syntax or stream encoding errors"));

  const std::string plain = ShellQuote(dir.File("plain/a.pdf"));
  EXPECT_THAT(Tool("pdfdetach -list " + plain), HasSubstr("0 embedded files"));
  EXPECT_THAT(Tool("pdfinfo -meta " + plain), HasSubstr("<pdfaid:part>2</pdfaid:part>"));
  EXPECT_TRUE(test::FileExists(dir.File("tif/a.tif")));
}

}  // namespace
}  // namespace tamarind
