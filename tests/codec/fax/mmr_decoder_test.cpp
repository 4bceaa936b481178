// Rules of the Group 4 decoder, one small coded page each. Lines are 16
// pixels wide.
#include <gtest/gtest.h>

#include <string>

#include "codec/fax/decode_test_util.h"

namespace tamarind::test {
namespace {

constexpr std::string_view kEol = "000000000001 ";
// Horizontal white 4, black 4, then V0 to the end: white 4, black 4, white 8.
constexpr std::string_view kNotch = "001 1011 011 1 ";

std::vector<uint8_t> Row(const FaxPage& page, int32_t y) {
  std::span<const uint8_t> row = page.Row(y);
  return {row.begin(), row.end()};
}
const std::vector<uint8_t> kWhiteRow = {0xFF, 0xFF};

TEST(MmrDecoderTest, VerticalZeroCodesCopyTheWhiteReferenceUpToTheExpectedLines) {
  Decoded d = DecodeMmr(Bits("11111"), 16, 3);
  EXPECT_EQ(d.result, 0);
  ASSERT_EQ(d.page.height, 3);
  for (int32_t y = 0; y < 3; ++y) EXPECT_EQ(Row(d.page, y), kWhiteRow);
  EXPECT_EQ(d.page.coding, 7);
  EXPECT_EQ(d.page.bits.size(), 6u);
}

TEST(MmrDecoderTest, EndOfBlockEndsThePageNormally) {
  Decoded d = DecodeMmr(Bits(std::string(kNotch) + "111" + std::string(kEol) + std::string(kEol)), 16, 10);
  EXPECT_EQ(d.result, 0);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 0), (std::vector<uint8_t>{0xF0, 0xFF}));
  EXPECT_EQ(Row(d.page, 1), (std::vector<uint8_t>{0xF0, 0xFF}));
}

TEST(MmrDecoderTest, DataEndingAtALineEndKeepsThatLine) {
  // Eight V0 codes fill the byte exactly.
  Decoded d = DecodeMmr(Bits("11111111"), 16, 10);
  EXPECT_EQ(d.result, 0);
  EXPECT_EQ(d.page.height, 8);
}

TEST(MmrDecoderTest, DataEndingInsideTheFirstLineGivesNoLine) {
  Decoded d = DecodeMmr(Bits("001 1011"), 16, 10);  // horizontal, white 4, then nothing
  EXPECT_EQ(d.result, -11);
  EXPECT_EQ(d.page.height, 0);
}

TEST(MmrDecoderTest, PassCodesFollowTheReferenceAndPassItsEnd) {
  // Under the notch line: one pass over the black run, a second with no
  // changing element left (a0 goes to the width), then V0.
  Decoded d = DecodeMmr(Bits(std::string(kNotch) + "0001 0001 1"), 16, 10);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 1), kWhiteRow);
}

TEST(MmrDecoderTest, VerticalLeftCodesMoveBackAlongTheReference) {
  // Under the notch line: VL1 (black from 3), VL1 (white from 7), V0.
  Decoded d = DecodeMmr(Bits(std::string(kNotch) + "010 010 1"), 16, 10);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 1), (std::vector<uint8_t>{0xE1, 0xFF}));
}

TEST(MmrDecoderTest, VerticalCodesLeftOfA0PaintNothingAndStayInTheRow) {
  // Horizontal white 10, black 4 puts a0 at 14; VL3 from b1 = 16 gives
  // a1 = 13, left of a0. Then V0 ends the line black.
  Decoded d = DecodeMmr(Bits(std::string(kNotch) + "001 00111 011 0000010 1"), 16, 10);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 1), (std::vector<uint8_t>{0xFF, 0xC0}));
  // At the line start: the reference starts black, so b1 = 0 and VL1 puts
  // a1 at -1.
  Decoded start = DecodeMmr(Bits("001 00110101 011 1 010 1 1"), 16, 10);
  EXPECT_GE(start.page.height, 1);
  EXPECT_LE(start.page.bits.size(), static_cast<size_t>(start.page.height) * 2);
}

TEST(MmrDecoderTest, ZeroLengthRunPairsMarkNoChangeInTheReference) {
  // The notch line with a horizontal white 0, black 0 in its middle: the
  // line below sees the notch alone, as in the VL test above.
  Decoded d = DecodeMmr(Bits("001 1011 011 001 00110101 0000110111 1 010 010 1"), 16, 10);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 0), (std::vector<uint8_t>{0xF0, 0xFF}));
  EXPECT_EQ(Row(d.page, 1), (std::vector<uint8_t>{0xE1, 0xFF}));
}

TEST(MmrDecoderTest, LinesWithMoreRunsThanTheListHoldsStillPaintEveryRun) {
  // Eight pixels wide, so the list holds eight runs: four horizontal codes
  // of white 1, black 0 fill it, and the fifth (white 1, black 3) no longer
  // fits. Every white pixel is painted all the same.
  std::string pair = "001 000111 0000110111 ";
  Decoded d = DecodeMmr(Bits(pair + pair + pair + pair + "001 000111 10"), 8, 10);
  ASSERT_GE(d.page.height, 1);
  EXPECT_EQ(Row(d.page, 0), (std::vector<uint8_t>{0xF8}));
}

TEST(MmrDecoderTest, LinesPastTheExpectedLinesLeaveTheLastRowAsItWas) {
  // Room for one line: the notch line is stored, the VL line after it
  // (which alone would paint 0xE1 0xFF) is decoded but must not show.
  Decoded d = DecodeMmr(Bits(std::string(kNotch) + "010 010 1"), 16, 1);
  ASSERT_EQ(d.page.height, 1);
  EXPECT_EQ(Row(d.page, 0), (std::vector<uint8_t>{0xF0, 0xFF}));
}

TEST(MmrDecoderTest, AnEolRestartsTheLineOnAWhiteReference) {
  // Notch line, EOL, then V0: the V0 line copies white, not the notch.
  Decoded d = DecodeMmr(Bits(std::string(kNotch) + std::string(kEol) + "1"), 16, 10);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 1), kWhiteRow);
}

TEST(MmrDecoderTest, InvalidCodesResynchroniseBehindARunOfFfBytes) {
  // Notch line, an invalid code (seven zeros and a 1), padding, two 0xFF
  // bytes, then a line starting with 000/001: horizontal white 16, black 0.
  std::string text = std::string(kNotch) + "00000001 00000 " + "11111111 11111111 " + "001 101010 0000110111";
  Decoded d = DecodeMmr(Bits(text), 16, 10);
  EXPECT_EQ(d.result, 0);
  ASSERT_EQ(d.page.height, 2);
  EXPECT_EQ(Row(d.page, 1), kWhiteRow);
}

TEST(MmrDecoderTest, ResynchronisationNeedsTwoFfBytesAndASuitableNextCode) {
  // One 0xFF byte is not enough; 0xFF 0xFF followed by 1 bits is not either
  // (the bits after the last 1 are 010). Nothing else follows.
  std::string one_ff = std::string(kNotch) + "00000001 00000 " + "11111111 " + "001 101010 0000110111";
  Decoded a = DecodeMmr(Bits(one_ff), 16, 10);
  EXPECT_EQ(a.result, -12);
  EXPECT_EQ(a.page.height, 1);
  std::string bad_next = std::string(kNotch) + "00000001 00000 " + "11111111 11111111 11010111";
  Decoded b = DecodeMmr(Bits(bad_next), 16, 10);
  EXPECT_EQ(b.result, -12);
  EXPECT_EQ(b.page.height, 1);
}

TEST(MmrDecoderTest, OddVariantsDecodeNothing) {
  for (uint8_t variant : {1, 3, 5, 7}) {
    FaxPage page;
    page.width = 77;
    std::vector<uint8_t> data = Bits("1111");
    MmrDecoder decoder(data, MsbFirst, variant, 0, 3);
    decoder.SetPageSize(16, 10);
    EXPECT_EQ(decoder.DecodeMmrPage(page), -1);
    EXPECT_EQ(page.width, 77);
    EXPECT_EQ(page.height, 0);
  }
  std::vector<uint8_t> data = Bits("1111");
  MmrDecoder even(data, MsbFirst, 2, 0, 3);
  even.SetPageSize(16, 10);
  FaxPage page;
  EXPECT_EQ(even.DecodeMmrPage(page), 0);
  EXPECT_EQ(page.height, 4);
}

TEST(MmrDecoderTest, AllocationFollowsTheRowsDecoded) {
  Decoded d = DecodeMmr(Bits("1111"), 65535, 65535);
  EXPECT_EQ(d.page.height, 4);
  EXPECT_LE(d.page.bits.capacity(), 64u * 8192u);
  Decoded none = DecodeMmr(Bits("1111"), 0, 65535);
  EXPECT_EQ(none.result, -1);
  EXPECT_EQ(none.page.height, 0);
}

}  // namespace
}  // namespace tamarind::test
