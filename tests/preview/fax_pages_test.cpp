#include "preview/fax_pages.h"
#include "preview/picture_cache.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/fax_files.h"
#include "support/real_pages.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using ::testing::HasSubstr;

constexpr const char* kPageNames[] = {"text-fine-g4", "text-standard-g3", "halftone-g4"};

std::string ThreePageFax(const test::ScopedTempDir& dir) {
  return test::WriteFaxFile(dir.File("three.fxd"), {std::begin(kPageNames), std::end(kPageNames)});
}

// Every page of a three-page fax at 1:1 and in every turn is the page an
// independent decoder gives, pixel for pixel.
TEST(FaxPages, EveryPageAtOneToOneIsTheDecodedPageInEveryTurn) {
  test::ScopedTempDir dir;
  platform::Expected<std::unique_ptr<FaxPages>> opened = FaxPages::Open(ThreePageFax(dir));
  ASSERT_TRUE(opened.ok()) << opened.reason();
  const FaxPages& pages = **opened;
  ASSERT_EQ(pages.PageCount(), 3);
  for (int index = 0; index < 3; ++index) {
    const test::RealPage& real = test::RealPageNamed(kPageNames[index]);
    const int height = real.fine ? real.reference.height : 2 * real.reference.height;
    for (int turns : {0, 1, 2, 3}) {
      platform::Expected<GreyPicture> picture = pages.Render(index, 1.0, turns);
      ASSERT_TRUE(picture.ok()) << picture.reason();
      // Decoders may differ by a last white row; the rows both hold must
      // agree.
      EXPECT_EQ(turns % 2 ? picture->height : picture->width, real.width) << index;
      EXPECT_NEAR(turns % 2 ? picture->width : picture->height, height, 2) << index;
      int wrong = 0;
      for (int y = 0; y < picture->height; ++y)
        for (int x = 0; x < picture->width; ++x)
          wrong +=
              picture->At(x, y) != (test::ShownBlack(real, turns, x, y, picture->width, picture->height) ? 0 : 255);
      EXPECT_EQ(wrong, 0) << kPageNames[index] << " turned " << turns;
    }
    // Once decoded, the page's size is what was shown, whatever its header
    // claimed.
    platform::Expected<GreyPicture> upright = pages.Render(index, 1.0);
    ASSERT_TRUE(upright.ok());
    EXPECT_EQ(pages.Extent(index), (PageExtent{upright->width, upright->height})) << index;
  }
  // Half the size is half the size, rounded.
  platform::Expected<GreyPicture> half = pages.Render(1, 0.5);
  ASSERT_TRUE(half.ok());
  EXPECT_EQ(half->width, 864);
}

// A page past the limits is refused on its own; the pages around it show.
TEST(FaxPages, AHostilePageIsRefusedAndTheOthersShow) {
  test::ScopedTempDir dir;
  std::vector<tools::WinFaxPageLayout> pages = {test::WinFaxPageOf(test::RealPageNamed("text-fine-g4")),
                                                test::WhiteRowsPage(65535, 100, 1),
                                                test::WinFaxPageOf(test::RealPageNamed("text-standard-g3"))};
  ASSERT_TRUE(tools::WriteWinFaxFile(dir.File("mixed.fxd"), pages));
  platform::Expected<std::unique_ptr<FaxPages>> opened = FaxPages::Open(dir.File("mixed.fxd"));
  ASSERT_TRUE(opened.ok()) << opened.reason();
  EXPECT_TRUE((*opened)->Render(0, 0.1).ok());
  EXPECT_THAT((*opened)->Render(1, 0.1).reason(), HasSubstr("too large"));
  EXPECT_TRUE((*opened)->Render(2, 0.1).ok());
  EXPECT_FALSE((*opened)->Render(3, 0.1).ok());
  test::WriteFileText(dir.File("text.fxd"), "no fax here");
  EXPECT_THAT(FaxPages::Open(dir.File("text.fxd")).reason(), HasSubstr("not a WinFax file"));
}

}  // namespace
}  // namespace tamarind

namespace tamarind {
namespace {

std::shared_ptr<const GreyPicture> PictureOf(size_t bytes) {
  auto picture = std::make_shared<GreyPicture>();
  picture->width = static_cast<int>(bytes);
  picture->height = 1;
  picture->samples.assign(bytes, 255);
  return picture;
}

// The cache keeps what was used last within its bytes, and no picture
// that alone would overflow it.
TEST(PictureCache, KeepsTheMostRecentlyUsedWithinItsBytes) {
  PictureCache cache(300);
  const PictureKey a = PictureKey::Of(0, 0.5, 0), b = PictureKey::Of(1, 0.5, 0), c = PictureKey::Of(0, 0.5, 1);
  cache.Put(a, PictureOf(100));
  cache.Put(b, PictureOf(100));
  ASSERT_NE(cache.Find(a), nullptr);  // a is now the most recent
  cache.Put(c, PictureOf(150));       // b goes
  EXPECT_EQ(cache.Find(b), nullptr);
  EXPECT_NE(cache.Find(a), nullptr);
  EXPECT_NE(cache.Find(c), nullptr);
  EXPECT_EQ(cache.Bytes(), 250u);
  cache.Put(c, PictureOf(50));  // replaced, not added
  EXPECT_EQ(cache.Bytes(), 150u);
  cache.Put(b, PictureOf(301));
  EXPECT_EQ(cache.Find(b), nullptr);
  EXPECT_EQ(PictureKey::Of(0, 0.5, -1), PictureKey::Of(0, 0.5000000001, 3));
}

}  // namespace
}  // namespace tamarind
