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

}  // namespace
}  // namespace tamarind::test
