#include "window/viewer_model.h"

#include <gtest/gtest.h>

namespace tamarind {
namespace {

TEST(ViewerModel, PagesAreHeldToTheFax) {
  ViewerModel model(3);
  EXPECT_FALSE(model.Previous());
  EXPECT_TRUE(model.Last());
  EXPECT_EQ(model.Page(), 2);
  EXPECT_FALSE(model.Next());
  EXPECT_FALSE(model.HasNext());
  EXPECT_TRUE(model.GoTo(1));
  EXPECT_FALSE(model.GoTo(1));
  EXPECT_TRUE(model.GoTo(-7));
  EXPECT_EQ(model.Page(), 0);
  EXPECT_EQ(model.PageText(), "Page 1 of 3");
  EXPECT_EQ(model.Title("/srv/faxes/a.fxd"), "a.fxd, page 1 of 3 - Tamarind");
  EXPECT_EQ(ViewerModel(1).Title("a.fxd"), "a.fxd - Tamarind");
  EXPECT_EQ(ViewerModel(0).PageCount(), 1);  // nothing to show is one empty page
}

TEST(ViewerModel, PageBoxReadsANumberInRange) {
  const std::pair<const char*, int> cases[] = {{"3", 2},  {" 3 of 12", 2}, {"12", 11}, {"13", -1},
                                               {"0", -1}, {"", -1},        {"x", -1},  {"99999999999", -1}};
  for (auto [text, page] : cases) EXPECT_EQ(PageFromText(text, 12), page) << text;
}

// A standard page is 1728 x 2288 square pixels; the viewport 800 x 600.
struct Zoom {
  const char* name;
  void (*apply)(ViewerModel&);
  int turns;
  double scale;
  Extent shown;
  const char* text;
};

TEST(ViewerModel, FitsScalesAndTurns) {
  const Extent page{1728, 2288};
  const Extent viewport{800, 600};
  const Zoom cases[] = {
      {"fit page", [](ViewerModel& m) { m.FitPage(); }, 0, 600.0 / 2288, {453, 600}, "Fit page"},
      {"fit page turned", [](ViewerModel& m) { m.FitPage(); }, 1, 600.0 / 1728, {794, 600}, "Fit page"},
      {"fit width", [](ViewerModel& m) { m.FitWidth(); }, 0, 800.0 / 1728, {800, 1059}, "Fit width"},
      {"fit width turned", [](ViewerModel& m) { m.FitWidth(); }, 3, 800.0 / 2288, {800, 604}, "Fit width"},
      {"1:1", [](ViewerModel& m) { m.ActualSize(); }, 2, 1.0, {1728, 2288}, "100%"},
      {"1:1 turned", [](ViewerModel& m) { m.ActualSize(); }, 1, 1.0, {2288, 1728}, "100%"},
      {"too large", [](ViewerModel& m) { m.SetScale(50); }, 0, ViewerModel::kLargestScale, {6912, 9152}, "400%"},
      {"too small", [](ViewerModel& m) { m.SetScale(0); }, 0, ViewerModel::kSmallestScale, {86, 114}, "5%"},
  };
  for (const Zoom& c : cases) {
    ViewerModel model(1);
    for (int i = 0; i < c.turns; ++i) model.RotateRight();
    c.apply(model);
    EXPECT_DOUBLE_EQ(model.ScaleFor(page, viewport), c.scale) << c.name;
    EXPECT_EQ(model.ShownExtent(page, viewport), c.shown) << c.name;
    EXPECT_EQ(model.ZoomText(page, viewport), c.text) << c.name;
  }
}

// The turns wrap both ways. (Zoom steps from a fit are checked where the
// viewer's keys and wheel take them.)
TEST(ViewerModel, TurnsWrapBothWays) {
  ViewerModel model(1);
  model.RotateLeft();
  EXPECT_EQ(model.Turns(), 3);
  for (int i = 0; i < 5; ++i) model.RotateRight();
  EXPECT_EQ(model.Turns(), 0);
}

TEST(ViewerModel, ThumbnailsOnlyForSeveralPagesInAPortraitBox) {
  EXPECT_FALSE(ShowsThumbnails(1));
  EXPECT_TRUE(ShowsThumbnails(2));
  EXPECT_EQ(ThumbnailBox(100), (Extent{100, 141}));
  EXPECT_DOUBLE_EQ(FitScale({1728, 2288}, ThumbnailBox(100)), 100.0 / 1728);
}

}  // namespace
}  // namespace tamarind
