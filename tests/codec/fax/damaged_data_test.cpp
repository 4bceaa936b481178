// Damaged coded data: truncated or with flipped bits. The decoders must
// stay inside their buffers (the sanitizer build runs these), end, and lose
// only the lines resynchronisation gives up; on random data,
// tests/fuzz/fuzz_g3_decoder and fuzz_mmr_decoder.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "codec/fax/decode_test_util.h"

namespace tamarind::test {
namespace {

// Every stored row equals the reference row at the same index.
::testing::AssertionResult RowsArePrefixOfReference(const RealPage& real, const FaxPage& page) {
  if (page.bits.size() != static_cast<size_t>(page.height) * static_cast<size_t>(page.bytes_per_row))
    return ::testing::AssertionFailure() << "bitmap size does not match height " << page.height;
  for (int32_t y = 0; y < page.height && y < real.reference.height; ++y)
    if (!SameRow(real.reference, y, page, y)) return ::testing::AssertionFailure() << "row " << y << " differs";
  return ::testing::AssertionSuccess();
}

std::vector<uint8_t> Prefix(const std::vector<uint8_t>& bytes, size_t n) {
  return {bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(n)};
}

TEST(DamagedDataTest, TruncatedPagesKeepEveryLineCompletedBeforeTheCut) {
  for (const RealPage& real : RealPages()) {
    SCOPED_TRACE(real.name);
    int32_t last_height = 0;
    for (int step = 0; step <= 40; ++step) {
      size_t cut = real.coded.size() * static_cast<size_t>(step) / 40;
      std::vector<uint8_t> data = Prefix(real.coded, cut);
      Decoded d = DecodeReal(real, data);
      ASSERT_TRUE(RowsArePrefixOfReference(real, d.page)) << "cut at " << cut;
      EXPECT_GE(d.page.height, last_height);
      last_height = d.page.height;
    }
    EXPECT_GE(last_height, real.reference.height - 2);
  }
}

// Lines of the damaged page, in order, must be the reference's lines with a
// few lost (and at most |garbled| rows that match nothing).
::testing::AssertionResult IsReferenceWithLinesLost(const RealPage& real, const FaxPage& page, int max_lost,
                                                    int max_garbled) {
  int32_t ref = 0;
  int lost = 0;
  int garbled = 0;
  for (int32_t y = 0; y < page.height; ++y) {
    int32_t found = -1;
    for (int32_t k = ref; k < real.reference.height && k <= ref + max_lost - lost; ++k)
      if (SameRow(real.reference, k, page, y)) {
        found = k;
        break;
      }
    if (found < 0) {
      if (++garbled > max_garbled) return ::testing::AssertionFailure() << "row " << y << " matches no nearby line";
      continue;
    }
    lost += found - ref;
    ref = found + 1;
  }
  return ::testing::AssertionSuccess();
}

TEST(DamagedDataTest, AFlippedBitInGroup3CostsOnlyTheLinesAroundIt) {
  std::mt19937 random(3);
  for (const char* name : {"text-standard-g3", "text-fine-g3-align8", "halftone-g3"}) {
    const RealPage& real = RealPageNamed(name);
    SCOPED_TRACE(real.name);
    for (int trial = 0; trial < 60; ++trial) {
      std::vector<uint8_t> data = real.coded;
      size_t bit = random() % (data.size() * 8);
      data[bit / 8] ^= static_cast<uint8_t>(0x80 >> (bit % 8));
      Decoded d = DecodeReal(real, data);
      ASSERT_TRUE(IsReferenceWithLinesLost(real, d.page, 3, 1)) << "bit " << bit;
      EXPECT_GE(d.page.height, real.reference.height - 3) << "bit " << bit;
    }
  }
}

TEST(DamagedDataTest, AFlippedBitInGroup4LeavesTheLinesBeforeIt) {
  std::mt19937 random(5);
  for (const char* name : {"text-standard-g4", "halftone-g4"}) {
    const RealPage& real = RealPageNamed(name);
    SCOPED_TRACE(real.name);
    for (int trial = 0; trial < 40; ++trial) {
      std::vector<uint8_t> data = real.coded;
      size_t byte = random() % data.size();
      data[byte] ^= static_cast<uint8_t>(1 << (random() % 8));
      int32_t before = DecodeReal(real, Prefix(data, byte)).page.height;
      Decoded d = DecodeReal(real, data);
      ASSERT_EQ(d.page.bits.size(), static_cast<size_t>(d.page.height) * static_cast<size_t>(d.page.bytes_per_row));
      ASSERT_GE(d.page.height, before);
      for (int32_t y = 0; y < before; ++y) ASSERT_TRUE(SameRow(real.reference, y, d.page, y)) << "row " << y;
    }
  }
}

int32_t FirstInkedRow(const FaxPage& page) {
  for (int32_t y = 0; y < page.height; ++y)
    if (!IsWhiteRow(page, y)) return y;
  return page.height;
}

// After damage, a run of 0xFF bytes (lines equal to a white reference)
// brings the Group 4 decoder back: what follows decodes again. The white
// lines at the top of the page are coded as 1 bits and count as part of the
// run, so only the rows from the first inked one on are compared.
TEST(DamagedDataTest, Group4ResumesBehindARunOfFfBytes) {
  const RealPage& real = RealPageNamed("text-fine-g4");
  std::vector<uint8_t> data = Bits("11 0000000 1 0000 11111111 11111111");
  data.insert(data.end(), real.coded.begin(), real.coded.end());
  Decoded damaged = DecodeReal(real, data);
  Decoded clean = DecodeReal(real, real.coded);
  int32_t from_damaged = FirstInkedRow(damaged.page);
  int32_t from_clean = FirstInkedRow(clean.page);
  ASSERT_LT(from_clean, clean.page.height);
  ASSERT_EQ(damaged.page.height - from_damaged, clean.page.height - from_clean);
  for (int32_t i = 0; from_clean + i < clean.page.height; ++i)
    ASSERT_TRUE(std::equal(clean.page.Row(from_clean + i).begin(), clean.page.Row(from_clean + i).end(),
                           damaged.page.Row(from_damaged + i).begin()))
        << "row " << i;
  EXPECT_EQ(damaged.result, 0);
}

}  // namespace
}  // namespace tamarind::test
