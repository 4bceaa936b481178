// The bit cursor, the code trees' fast look-up and the row painter, each
// against a plain model of what it must do.
#include <gtest/gtest.h>

#include <limits>
#include <random>
#include <vector>

#include "codec/fax/bit_reader.h"
#include "codec/fax/bit_window.h"
#include "codec/fax/code_trees.h"
#include "codec/fax/decode_test_util.h"
#include "codec/fax/row_painter.h"
#include "codec/fax/width_class.h"

namespace tamarind::test {
namespace {

FaxBitReader ReaderOver(const std::vector<uint8_t>& bytes, uint8_t bit_order = MsbFirst) {
  FaxBitReader reader;
  reader.bit_order = bit_order;
  reader.Reset(bytes);
  return reader;
}

TEST(FaxBitReaderTest, ReadsAcrossBytesInEitherBitOrderAndStaysFailedAtTheEnd) {
  std::vector<uint8_t> bytes = {0xB4, 0x0F};  // 1011 0100 0000 1111
  for (uint8_t order : {MsbFirst, LsbFirst}) {
    std::vector<uint8_t> stored = order == MsbFirst ? bytes : tools::ReverseBits(bytes);
    FaxBitReader reader = ReaderOver(stored, order);
    EXPECT_EQ(reader.ReadBits(3), 0b101);
    EXPECT_EQ(reader.ReadBits(4), 0b1010);
    EXPECT_EQ(reader.ReadBits(4), 0b0000);
    reader.UnreadBits(4);  // back across the byte boundary
    EXPECT_EQ(reader.position, 0);
    EXPECT_EQ(reader.bit_offset, 7);
    EXPECT_EQ(reader.ReadBits(8), 0b00000111);
    EXPECT_EQ(reader.ReadBits(1), 1);
    EXPECT_EQ(reader.ReadBits(1), kFetchPastEnd);
    EXPECT_EQ(reader.ReadBits(1), kFetchPastEnd);
  }
}

TEST(FaxBitReaderTest, FindEolStopsBehindElevenZerosAndAOne) {
  // 7 trailing zeros + 7 leading zeros: the reader ends on bit offset 8 and
  // the next bits come from the following byte.
  std::vector<uint8_t> across = {0x80, 0x01, 0xA0};
  FaxBitReader reader = ReaderOver(across);
  EXPECT_EQ(FindEol(reader), 0);
  EXPECT_EQ(reader.position, 1);
  EXPECT_EQ(reader.bit_offset, 8);
  EXPECT_EQ(reader.ReadBits(3), 0b101);

  // Ten zeros are not enough; zero bytes in between count eight each.
  std::vector<uint8_t> ten = {0x04, 0x10, 0x04, 0x80};  // 2 + 3, 4 + 5, 2 + 0 zeros
  FaxBitReader short_run = ReaderOver(ten);
  EXPECT_EQ(FindEol(short_run), kFetchPastEnd);
  std::vector<uint8_t> twelve = {0x04, 0x00, 0x20};  // 2 + 8 + 2 zeros
  FaxBitReader long_run = ReaderOver(twelve);
  EXPECT_EQ(FindEol(long_run), 0);
  EXPECT_EQ(long_run.position, 2);
  EXPECT_EQ(long_run.bit_offset, 3);
}

// The 12-bit look-up must give the leaf and the bit count of the node walk
// for every code, at every bit offset, up to the end of the data.
TEST(CodeTreeTest, LookupDecodingMatchesTheNodeWalk) {
  std::mt19937 random(7);
  const CodeTree* trees[] = {&kWhiteTree, &kBlackTree, &kModeTree};
  for (int trial = 0; trial < 400; ++trial) {
    // Mostly zero bits now and then, so long codes and EOL fill show up;
    // and runs of hundreds of zeros with a lone 1 bit at any offset.
    std::vector<uint8_t> bytes(1 + random() % 64);
    for (uint8_t& b : bytes) {
      const uint32_t r = static_cast<uint32_t>(random());
      b = static_cast<uint8_t>(trial % 4 == 3 ? (r % 24 == 0 ? 1u << (r >> 8) % 8 : 0)
                               : trial % 2    ? r
                                              : r & random() & random());
    }
    uint8_t order = trial % 3 ? MsbFirst : LsbFirst;
    FaxBitReader walked = ReaderOver(bytes, order);
    FaxBitReader fast_state = ReaderOver(bytes, order);
    BitWindow fast(fast_state);
    for (int step = 0; step < 400; ++step) {
      const CodeTree& tree = *trees[random() % 3];
      int expected = WalkTree(walked, tree);
      int actual = fast.DecodeCode(tree);
      if (expected < 0) {
        ASSERT_EQ(actual, kReadFailed);
        break;
      }
      ASSERT_EQ(actual, expected) << "trial " << trial << " step " << step;
      if (expected == kLeafEolTookOne || expected == kLeafEolTookZero) {
        walked.UnreadBits(1);
        fast.Unread(1);
        int again = WalkTree(walked, tree);
        ASSERT_EQ(fast.DecodeCode(tree), again < 0 ? kReadFailed : again);
        if (again < 0) break;
      }
      FaxBitReader stored = fast_state;
      fast.Store(stored);
      ASSERT_EQ(stored.position, walked.position);
      ASSERT_EQ(stored.bit_offset, walked.bit_offset);
    }
  }
}

// Paints random runs and compares with a pixel-by-pixel model.
TEST(RowPainterTest, RunsMatchAPixelModelAndNeverLeaveTheRow) {
  std::mt19937 random(11);
  for (int trial = 0; trial < 2000; ++trial) {
    int32_t length = 1 + static_cast<int32_t>(random() % 6);
    std::vector<uint8_t> row(static_cast<size_t>(length) + 2, 0);  // a guard byte each side
    std::vector<bool> model(static_cast<size_t>(length) * 8, false);
    RowCursor cursor;
    cursor.Start(row.data() + 1, length);
    int64_t x = 0;
    bool skip = false;
    while (x < length * 8 + 8) {
      int64_t n = static_cast<int64_t>(random() % 20) - 2;
      if (random() % 10 == 0) n = 70000;  // longer than any row
      PaintRun(cursor, n, skip);
      if (n > 0) {
        for (int64_t i = x; i < x + n && i < length * 8; ++i) model[static_cast<size_t>(i)] = !skip;
        x += n;
      }
      skip = !skip;
    }
    ASSERT_EQ(row.front(), 0);
    ASSERT_EQ(row.back(), 0);
    for (int32_t i = 0; i < length * 8; ++i)
      ASSERT_EQ(static_cast<bool>((row[static_cast<size_t>(1 + i / 8)] >> (7 - i % 8)) & 1),
                model[static_cast<size_t>(i)])
          << "trial " << trial << " pixel " << i;
  }
}

// The whole-row painter against the run-by-run painter above: same pixels
// (runs cut at the row end, padding included), same end position, every
// byte of the row written and none outside it.
TEST(RowPainterTest, WholeRowsMatchRunByRunPainting) {
  std::mt19937 random(17);
  for (int trial = 0; trial < 3000; ++trial) {
    int32_t length = 1 + static_cast<int32_t>(random() % 300);
    int64_t row_bits = int64_t{length} * 8;
    // Runs of all lengths, empty ones, and rows that end short of the row
    // end, exactly at it or past it.
    int64_t target = trial % 4 == 0 ? static_cast<int64_t>(random() % row_bits) : row_bits + random() % 200;
    std::vector<int32_t> runs;
    for (int64_t total = 0; total < target;) {
      uint32_t r = static_cast<uint32_t>(random());
      int32_t run = r % 5 == 0 ? 0 : static_cast<int32_t>(r % 7 == 0 ? r % 700 : r % 20);
      if (r % 997 == 0) run = std::numeric_limits<int32_t>::max();
      runs.push_back(run);
      total += run;
    }
    bool first_painted = trial % 3 != 0;

    std::vector<uint8_t> expected(static_cast<size_t>(length), 0);
    RowCursor cursor;
    cursor.Start(expected.data(), length);
    for (size_t i = 0; i < runs.size(); ++i) PaintRun(cursor, runs[i], (i % 2 == 0) != first_painted);

    std::vector<uint8_t> buffer(static_cast<size_t>(length) + 16, 0xA5);  // stale bytes, 8 guards each side
    uint64_t end = PaintRow(buffer.data() + 8, length, runs, first_painted);
    ASSERT_EQ(std::vector<uint8_t>(buffer.begin() + 8, buffer.end() - 8), expected) << "trial " << trial;
    ASSERT_EQ(end, static_cast<uint64_t>(cursor.byte_index) * 8 + cursor.bit_index) << "trial " << trial;
    for (int i = 0; i < 8; ++i)
      ASSERT_TRUE(buffer[static_cast<size_t>(i)] == 0xA5 && buffer[buffer.size() - 1 - static_cast<size_t>(i)] == 0xA5);
  }
}

TEST(WidthClassTest, TheBoundsAreTakenInTableOrder) {
  // 3456 is listed before 3648, so the widths between get 300 dpi.
  EXPECT_EQ(WidthClass(3456).resolution, 400);
  EXPECT_EQ(WidthClass(3457).resolution, 300);
  EXPECT_EQ(WidthClass(3457).width_class, 3);
  EXPECT_EQ(WidthClass(1729).width_class, 2);
}

}  // namespace
}  // namespace tamarind::test
