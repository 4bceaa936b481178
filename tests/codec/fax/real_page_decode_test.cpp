// Our decoders against independent ones (g3topbm, fax2tiff) on real pages.
#include <gtest/gtest.h>

#include "codec/fax/decode_test_util.h"

namespace tamarind::test {
namespace {

class RealPageDecodeTest : public ::testing::TestWithParam<std::string> {};

TEST_P(RealPageDecodeTest, MatchesTheIndependentDecoderInBothBitOrders) {
  const RealPage& real = RealPageNamed(GetParam());
  Decoded msb = DecodeReal(real, real.coded, MsbFirst);
  EXPECT_EQ(msb.result, 0);
  EXPECT_TRUE(MatchesReference(real.reference, msb.page));
  EXPECT_GE(msb.page.height, real.reference.height - 2);

  std::vector<uint8_t> reversed = tools::ReverseBits(real.coded);
  Decoded lsb = DecodeReal(real, reversed, LsbFirst);
  EXPECT_EQ(lsb.result, msb.result);
  EXPECT_EQ(lsb.page.height, msb.page.height);
  EXPECT_EQ(lsb.page.bits, msb.page.bits);
  EXPECT_EQ(lsb.page.bit_order, LsbFirst);
}

INSTANTIATE_TEST_SUITE_P(Pages, RealPageDecodeTest,
                         ::testing::Values("text-standard-g3", "text-fine-g3", "text-fine-g3-align8",
                                           "text-standard-g4", "text-fine-g4", "halftone-g3", "halftone-g4", "wide-g3",
                                           "wide-g4"),
                         [](const auto& info) {
                           std::string name = info.param;
                           for (char& c : name)
                             if (c == '-') c = '_';
                           return name;
                         });

}  // namespace
}  // namespace tamarind::test
