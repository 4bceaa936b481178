#include "support/real_pages.h"

#include <gtest/gtest.h>

namespace tamarind::test {
namespace {

// The oracles must agree with themselves before any decoder test trusts them:
// every page has data, a reference of its width, and at least some black.
TEST(RealPagesTest, EveryPageHasCodedDataAndAReferenceWithInk) {
  ASSERT_GE(RealPages().size(), 9u);
  for (const RealPage& page : RealPages()) {
    SCOPED_TRACE(page.name);
    EXPECT_FALSE(page.coded.empty());
    EXPECT_EQ(page.reference.width, page.width);
    EXPECT_GT(page.reference.height, 500);
    int32_t inked = 0;
    for (int32_t y = 0; y < page.reference.height; ++y) inked += !IsWhiteRow(page.reference, y);
    EXPECT_GT(inked, 100);
    EXPECT_TRUE(MatchesReference(page.reference, ToFaxPage(page.reference)));
  }
}

TEST(RealPagesTest, ReverseBitsMirrorsEachByte) {
  std::vector<uint8_t> bytes = {0x01, 0x03, 0xF0, 0xFF, 0x00, 0xA5};
  EXPECT_EQ(ReverseBits(bytes), (std::vector<uint8_t>{0x80, 0xC0, 0x0F, 0xFF, 0x00, 0xA5}));
}

}  // namespace
}  // namespace tamarind::test
