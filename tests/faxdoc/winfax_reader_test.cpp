#include "faxdoc/winfax_reader.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <numeric>
#include <vector>

#include "codec/fax/page_limits.h"
#include "support/test_files.h"
#include "tools/winfax_writer.h"

namespace tamarind {
namespace {

using test::ScopedTempDir;
using tools::WinFaxPageLayout;

std::vector<uint8_t> Bytes(size_t count, uint8_t first = 1) {
  std::vector<uint8_t> bytes(count);
  std::iota(bytes.begin(), bytes.end(), first);
  return bytes;
}

WinFaxPageLayout PageOf(size_t data_bytes) {
  WinFaxPageLayout page;
  page.coded = Bytes(data_bytes);
  return page;
}

// A page of |data_bytes| with |change| made to its fields.
template <typename Change>
WinFaxPageLayout PageOf(size_t data_bytes, Change change) {
  WinFaxPageLayout page = PageOf(data_bytes);
  change(page);
  return page;
}

class WinFaxReaderTest : public ::testing::Test {
 protected:
  // Writes |bytes| as the input file, opens it and walks its chain.
  uint16_t Count(const std::vector<uint8_t>& bytes) {
    test::WriteFileBytes(path_, bytes);
    EXPECT_TRUE(reader_.Open(path_));
    return reader_.CountPages();
  }
  uint16_t Count(const std::vector<WinFaxPageLayout>& pages) { return Count(tools::BuildWinFaxFile(pages)); }

  // Walks the chain of |pages| first in a child process that an alarm ends
  // after a few seconds: a chain guard that stops working makes the walk
  // loop, and the test then fails at once instead of at the suite's limit.
  uint16_t CountWithinSeconds(const std::vector<WinFaxPageLayout>& pages) {
    EXPECT_EXIT(
        {
          alarm(5);
          Count(pages);
          std::_Exit(0);
        },
        ::testing::ExitedWithCode(0), "")
        << "the chain walk did not end";
    if (HasFailure()) return 0;  // it would hang here too
    return Count(pages);
  }

  std::vector<int32_t> Offsets() const {
    std::vector<int32_t> offsets;
    for (int i = 0; i < reader_.PageCount(); ++i) offsets.push_back(reader_.PageOffset(i));
    return offsets;
  }

  ScopedTempDir dir_;
  std::string path_ = dir_.File("page.fxd");
  WinFaxReader reader_;
};

struct ChainCase {
  const char* name;
  std::vector<WinFaxPageLayout> pages;
  std::vector<int32_t> offsets;  // of the headers the walk records
};

// Wrapped to 32 bits, the first page's link in "a sum that wraps" lands
// exactly on the second header.
static_assert(static_cast<uint32_t>(0x7FFFFFFFu + 0x7FFFFFFFu + 6 + 13 * 10) == 128u + 6);

TEST_F(WinFaxReaderTest, TheChainWalkRecordsEachHeaderOnceAndEnds) {
  const ChainCase cases[] = {
      // One page: its link leads to the end of the file.
      {"one page", {PageOf(10)}, {0}},
      // The second header lies right after the first page's data.
      {"two pages", {PageOf(37), PageOf(11)}, {0, 128 + 37}},
      {"a broken signature",
       {PageOf(37), PageOf(11,
                           [](auto& p) {
                             p.header_bytes.push_back({0, 0x0C});
                           })},
       {0}},
      // A link at or beyond the end of the file ends the chain.
      {"a link past the end", {PageOf(10, [](auto& p) { p.link_base = 1'000'000; }), PageOf(10)}, {0}},
      {"extra fields moving the next header",
       {PageOf(20, [](auto& p) { p.link_span = 128, p.extra_count = 2, p.extra_size = 100, p.gap = 200; }), PageOf(5)},
       {0, 128 + 20 + 200}},
      // All link fields 0: the header points at itself.
      {"a link to itself", {PageOf(0, [](auto& p) { p.link_base = 0, p.link_span = 0; })}, {0}},
      {"the third page linking back to the second",
       {PageOf(4), PageOf(4), PageOf(4, [](auto& p) { p.link_base = 128 + 4, p.link_span = 0, p.data_length = 0; }),
        PageOf(4)},
       {0, 132, 264}},
      {"a sum that wraps",
       {PageOf(
            6,
            [](auto& p) { p.link_base = 0x7FFFFFFF, p.link_span = 0x7FFFFFFF, p.extra_count = 13, p.extra_size = 10; }),
        PageOf(6)},
       {0}},
      {"a negative link", {PageOf(6, [](auto& p) { p.link_base = static_cast<uint32_t>(-1000); }), PageOf(6)}, {0}},
  };
  for (const ChainCase& c : cases) {
    SCOPED_TRACE(c.name);
    EXPECT_EQ(CountWithinSeconds(c.pages), c.offsets.size());
    EXPECT_EQ(Offsets(), c.offsets);
  }
}

TEST_F(WinFaxReaderTest, ChainEndsAtThe1024thPage) {
  std::vector<WinFaxPageLayout> pages(1030, PageOf(3));
  // Past the pages recorded, the last one links back to the 1026th: only
  // the page limit ends that loop.
  pages.back().link_base = 1025 * (128 + 3);
  pages.back().link_span = 0;
  pages.back().data_length = 0;
  EXPECT_EQ(CountWithinSeconds(pages), 1024);
  EXPECT_EQ(reader_.PageOffset(1023), 1023 * (128 + 3));
  EXPECT_EQ(reader_.PageOffset(1024), 0);
  EXPECT_EQ(reader_.AddPageOffset(5), -1);
  EXPECT_EQ(reader_.PageCount(), 1024);
  // The pages left out are counted, the loop back ending the count.
  EXPECT_EQ(reader_.ChainedPages(), 1030);
}

TEST_F(WinFaxReaderTest, ShortAndForeignFiles) {
  EXPECT_FALSE(reader_.Open(dir_.File("missing.fxd")));
  // Without a file, decoding leaves the page alone.
  FaxPage page;
  page.width = 5;
  reader_.DecodePage(0, page);
  EXPECT_EQ(page.width, 5);
  EXPECT_EQ(reader_.ReadHeaderAt(0), -1);

  EXPECT_EQ(Count(std::vector<uint8_t>{}), 0);
  EXPECT_FALSE(reader_.IsOpen());
  EXPECT_EQ(Count(std::vector<uint8_t>{0x0B}), 0);
  EXPECT_FALSE(reader_.IsOpen());
  EXPECT_EQ(Count(std::vector<uint8_t>{0x23, 0x0B, 0, 0}), 0);

  // A right signature with the rest of the header cut off: the missing bytes
  // read as zero, so the links point back at the header itself.
  for (size_t size : {2u, 100u, 127u, 128u}) {
    SCOPED_TRACE(size);
    std::vector<uint8_t> file = tools::BuildWinFaxFile(std::vector{PageOf(0)});
    file.resize(size);
    EXPECT_EQ(Count(file), 1);
    EXPECT_TRUE(reader_.IsOpen());
    EXPECT_EQ(reader_.ReadPage(0), 0);
    EXPECT_EQ(reader_.DataLength(), 0);
    EXPECT_EQ(reader_.Header().width, 1728);
    EXPECT_EQ(reader_.Header().length, 3432);
  }
}

TEST_F(WinFaxReaderTest, HostileDataLengthsStayWithinTheFile) {
  // Ten times the file size: the rest of the file after the header.
  WinFaxPageLayout huge = PageOf(40);
  huge.data_length = 10 * (256 + 60 + 40);
  ASSERT_EQ(Count({PageOf(60), huge}), 2);
  ASSERT_EQ(reader_.ReadPage(1), 0);
  EXPECT_EQ(reader_.Header().data_length, 40);
  EXPECT_EQ(reader_.DataLength(), 40);

  // Negative: no data.
  WinFaxPageLayout negative = PageOf(40);
  negative.data_length = static_cast<uint32_t>(-5);
  negative.link_span = 128 + 5 + 40;
  ASSERT_EQ(Count({PageOf(60), negative}), 2);
  ASSERT_EQ(reader_.ReadPage(1), 0);
  EXPECT_EQ(reader_.DataLength(), 0);

  // Oversized in a header cut short by the end of the file: no data either.
  WinFaxPageLayout cut = PageOf(0);
  cut.data_length = 0x7FFFFFFF;
  std::vector<uint8_t> file = tools::BuildWinFaxFile(std::vector{PageOf(60), cut});
  file.resize(file.size() - 8);
  ASSERT_EQ(Count(file), 2);
  ASSERT_EQ(reader_.ReadPage(1), 0);
  EXPECT_EQ(reader_.DataLength(), 0);
}

TEST_F(WinFaxReaderTest, DataCutShortByTheEndOfTheFileReadsAsZeros) {
  std::vector<uint8_t> file = tools::BuildWinFaxFile(std::vector{PageOf(300)});
  file.resize(128 + 200);
  ASSERT_EQ(Count(file), 1);
  ASSERT_EQ(reader_.ReadPage(0), 0);
  ASSERT_EQ(reader_.DataLength(), 300);
  const std::vector<uint8_t> expected_start(file.begin() + 128, file.end());
  EXPECT_EQ(std::vector<uint8_t>(reader_.CodedData().begin(), reader_.CodedData().begin() + 200), expected_start);
  for (size_t i = 200; i < 300; ++i) ASSERT_EQ(reader_.CodedData()[i], 0) << i;
}

TEST_F(WinFaxReaderTest, CodedDataFollowsThePageNotTheClaim) {
  // A one-row page eight pixels wide can need no more than MaxCodedBytes;
  // the rest of its 10,000 bytes is never read.
  WinFaxPageLayout tiny = PageOf(10'000);
  tiny.width = 8;
  tiny.length = 1;
  ASSERT_EQ(Count({tiny}), 1);
  ASSERT_EQ(reader_.ReadPage(0), 0);
  EXPECT_EQ(reader_.DataLength(), MaxCodedBytes(8, 1));

  // Three headers that all claim the data after the last of them: the first
  // page read gets it, any other page nothing, and reading again changes
  // nothing.
  std::vector<WinFaxPageLayout> sharing(3, PageOf(0));
  for (size_t i = 0; i < sharing.size(); ++i) {
    sharing[i].data_length = 1000 - 128 * static_cast<uint32_t>(i);
    sharing[i].link_span = static_cast<uint32_t>(128 - 1000 + 128 * static_cast<int>(i));
  }
  std::vector<uint8_t> file = tools::BuildWinFaxFile(sharing);
  const std::vector<uint8_t> data = Bytes(1000 - 256);
  file.insert(file.end(), data.begin(), data.end());
  ASSERT_EQ(Count(file), 3);
  for (int page : {1, 0, 2, 1}) {
    ASSERT_EQ(reader_.ReadPage(page), 0);
    EXPECT_EQ(reader_.DataLength(), page == 1 ? 1000 - 128 : 0) << page;
  }
}

// The header text as people and programs see it: Windows-1252 decoded,
// control bytes (and the bytes Windows-1252 leaves undefined) escaped.
struct HeaderTextCase {
  const char* name;
  std::string stored;
  std::string shown;
};

class HeaderTextTest : public ::testing::TestWithParam<HeaderTextCase> {};

TEST_P(HeaderTextTest, DecodesWindows1252AndEscapesControls) {
  EXPECT_EQ(HeaderTextUtf8(GetParam().stored), GetParam().shown);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, HeaderTextTest,
    ::testing::Values(HeaderTextCase{"Ascii", "From +1 555 0100 \\ Acme", "From +1 555 0100 \\ Acme"},
                      HeaderTextCase{"HighBytes", "\x80\x93\x94\x9f \xa0\xe9\xff",
                                     "\u20ac\u201c\u201d\u0178 \u00a0\u00e9\u00ff"},
                      HeaderTextCase{"Controls", "a\r\nb\t\x1b[2J\x7f", "a\\r\\nb\\t\\x1b[2J\\x7f"},
                      HeaderTextCase{"Undefined", "\x81\x8d\x8f\x90\x9d", "\\x81\\x8d\\x8f\\x90\\x9d"},
                      HeaderTextCase{"Empty", "", ""}),
    [](const auto& info) { return std::string(info.param.name); });

// Each page's own text, from byte 9 to its NUL or to byte 89, whichever
// comes first; reading one leaves the page read last alone.
TEST_F(WinFaxReaderTest, EachPageHasItsOwnHeaderText) {
  std::vector<WinFaxPageLayout> pages(4, PageOf(5));
  pages[0].text = "Acme Ltd \x96 invoice";
  pages[2].text = std::string(80, 'x');
  pages[2].header_bytes = {{88, 'y'}};  // no NUL before the link fields
  pages[3].text = "last";
  ASSERT_EQ(Count(pages), 4);
  ASSERT_EQ(reader_.ReadPage(3), 0);
  EXPECT_EQ(reader_.PageText(0), "Acme Ltd \u2013 invoice");
  EXPECT_EQ(reader_.PageText(1), "");
  EXPECT_EQ(reader_.PageText(2), std::string(79, 'x') + "y");
  EXPECT_EQ(reader_.PageText(4), "");
  EXPECT_EQ(reader_.ReadPage(4), -1);
  EXPECT_EQ(reader_.Header().text, "last");
}

// The writer and the reader share no code; check the writer's byte layout by
// hand so the two cannot agree on a wrong offset.
TEST(WinFaxWriterTest, HeaderFieldsLandAtTheirOffsets) {
  WinFaxPageLayout page;
  page.coded = Bytes(0x0102);
  page.group4 = true;
  page.resolution_code = 7;
  page.width = 0x1234;
  page.length = 0x5678;
  page.extra_count = 3;
  page.extra_size = 4;
  page.text = "station";
  page.header_bytes = {{2, 0xEE}};
  const std::vector<uint8_t> header = tools::BuildHeader(page, 0x01020304);
  ASSERT_EQ(header.size(), 128u);
  const std::vector<uint8_t> start = {0x0B, 0x23, 0xEE, 0x34, 0x12, 0x78, 0x56, 0x01, 0x00, 's'};
  EXPECT_EQ(std::vector<uint8_t>(header.begin(), header.begin() + 10), start);
  EXPECT_EQ(header[9 + 7], 0);
  const std::vector<uint8_t> link_base = {0x04, 0x03, 0x02, 0x01};
  EXPECT_EQ(std::vector<uint8_t>(header.begin() + 89, header.begin() + 93), link_base);
  // link_span makes up for the extra fields so that the link still ends the page.
  const std::vector<uint8_t> link_span = {128 - 12, 0, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(header.begin() + 105, header.begin() + 109), link_span);
  const std::vector<uint8_t> tail = {3, 4, 7, 0x02, 0x01, 0, 0};
  EXPECT_EQ(std::vector<uint8_t>(header.begin() + 113, header.begin() + 120), tail);

  page.msb_first = true;
  page.coded = {0x01, 0x80, 0x35};
  const std::vector<uint8_t> file = tools::BuildWinFaxFile(std::span(&page, 1));
  EXPECT_EQ(std::vector<uint8_t>(file.begin() + 128, file.end()), (std::vector<uint8_t>{0x80, 0x01, 0xAC}));
}

}  // namespace
}  // namespace tamarind
