// Recognition of real document pages against the words they were set from.
// Recognition takes about a second a page, so each page is recognised once
// and everything about it is checked on that one result.
#include "ocr/ocr_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <map>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "support/document_pages.h"
#include "support/page_images.h"
#include "support/test_files.h"

namespace tamarind::ocr {
namespace {

using test::Bitmap;
using test::DocumentPage;
using test::SourceWord;

OcrEngine& Engine() {
  static platform::Expected<OcrEngine> engine = OcrEngine::Create("eng");
  if (!engine) throw std::runtime_error(engine.reason());
  return *engine;
}

// Threads of this process; OpenMP keeps the threads of its team once made.
int ThreadCount() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);)
    if (line.starts_with("Threads:")) return std::stoi(line.substr(8));
  return -1;
}

bool IsPlainWord(const std::string& text) {
  return text.size() >= 4 &&
         std::all_of(text.begin(), text.end(), [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); });
}

template <typename T>
std::map<std::string, int> CountTexts(const std::vector<T>& words) {
  std::map<std::string, int> counts;
  for (const T& word : words) ++counts[word.text];
  return counts;
}

struct Geometry {
  double x_dpi;
  double y_dpi;
  int32_t width;
  int32_t height;
  bool turned;
};

// The source word's box in the stored page's pixels.
PixelBox SourceBox(const SourceWord& word, const Geometry& page) {
  PixelBox box{static_cast<int32_t>(word.left * page.x_dpi / 72), static_cast<int32_t>(word.top * page.y_dpi / 72),
               static_cast<int32_t>(word.right * page.x_dpi / 72 + 1),
               static_cast<int32_t>(word.bottom * page.y_dpi / 72 + 1)};
  if (!page.turned) return box;
  return PixelBox{page.width - box.right, page.height - box.bottom, page.width - box.left, page.height - box.top};
}

// The recognised word's ink lies within the font's box of the source word
// (give or take 0.03 inch), and is not squeezed: at least 30% of the font's
// height, as short letters ("was") fill less than half of it.
::testing::AssertionResult PlacedLike(const PixelBox& found, const PixelBox& source, const Geometry& page) {
  const int32_t x_slack = static_cast<int32_t>(0.03 * page.x_dpi);
  const int32_t y_slack = static_cast<int32_t>(0.03 * page.y_dpi) + 1;
  const bool inside = found.left >= source.left - x_slack && found.right <= source.right + x_slack &&
                      found.top >= source.top - y_slack && found.bottom <= source.bottom + y_slack;
  const bool tall_enough = (found.bottom - found.top) * 10 >= (source.bottom - source.top) * 3;
  if (inside && tall_enough) return ::testing::AssertionSuccess();
  return ::testing::AssertionFailure() << "box " << found.left << "," << found.top << "-" << found.right << ","
                                       << found.bottom << " for source " << source.left << "," << source.top << "-"
                                       << source.right << "," << source.bottom;
}

struct PageCase {
  const char* name;
  bool fine;
  bool upside_down;
  double recall_floor;  // measured 0.989 fine, 0.975 standard; less a margin
};

void PrintTo(const PageCase& c, std::ostream* out) { *out << c.name; }

class RecognisedPageTest : public ::testing::TestWithParam<PageCase> {};

TEST_P(RecognisedPageTest, FindsTheWordsWhereThePageShowsThem) {
  const PageCase& c = GetParam();
  const DocumentPage& source = test::DocumentPages().at(1);  // page 2: dense running text
  const Bitmap& upright = c.fine ? source.fine : source.standard;
  const FaxPage page = test::FaxPageOf(c.upside_down ? test::Rotated180(upright) : upright, c.fine);

  const int threads = ThreadCount();
  Recognition read = Engine().Recognise(page);
  ASSERT_TRUE(read.ok()) << read.reason;
  const PageText* text = &read.text;
  EXPECT_EQ(ThreadCount(), threads) << "Tesseract started threads of its own";
  EXPECT_EQ(text->rotation, c.upside_down ? 180 : 0);

  const double recall = test::WordRecall(source.text, text->text);
  RecordProperty("recall", std::to_string(recall));
  EXPECT_GE(recall, c.recall_floor);

  // Words that occur once on the page and once in the result can be paired.
  const Geometry geometry{204, c.fine ? 196.0 : 98.0, page.width, page.height, c.upside_down};
  const std::map<std::string, int> in_source = CountTexts(source.words);
  const std::map<std::string, int> in_result = CountTexts(text->words);
  int paired = 0;
  for (const SourceWord& word : source.words) {
    if (!IsPlainWord(word.text) || in_source.at(word.text) != 1) continue;
    auto found =
        std::find_if(text->words.begin(), text->words.end(), [&](const Word& w) { return w.text == word.text; });
    if (found == text->words.end() || in_result.at(word.text) != 1) continue;
    ++paired;
    EXPECT_TRUE(PlacedLike(found->box, SourceBox(word, geometry), geometry)) << word.text;
  }
  EXPECT_GE(paired, 50);
}

// Fine and standard pages, and a standard page stored upside down (rows
// repeated and turned: both mappings of the boxes at once).
INSTANTIATE_TEST_SUITE_P(Pages, RecognisedPageTest,
                         ::testing::Values(PageCase{"Fine", true, false, 0.94},
                                           PageCase{"Standard", false, false, 0.92},
                                           PageCase{"StandardUpsideDown", false, true, 0.92}),
                         [](const auto& info) { return std::string(info.param.name); });

// Pages Tesseract cannot take, or that are past their budget, are refused
// with a reason before Tesseract sees them: it would never ask whether to
// stop. The budget is the page's, not that of the image Tesseract reads.
TEST(OcrEngineTest, RefusesPagesItCannotReadBeforeReadingThem) {
  FaxPage empty;
  FaxPage short_of_rows = test::FaxPageOf(test::DocumentPages().at(0).standard, false);
  short_of_rows.bits.resize(short_of_rows.bits.size() / 2);
  // 16384 standard rows are 32768 once repeated; 2048 x 8193 fine rows are
  // one row past the most pixels recognition takes.
  const FaxPage too_tall = test::SolidPage(1728, 16384, 100, true);
  const FaxPage over_budget = test::SolidPage(2048, static_cast<int>(kMaxRecognisedPixels / 2048) + 1, 200, true);
  struct Case {
    const FaxPage* page;
    Unread why;
  } cases[] = {{&empty, Unread::kFailed},
               {&short_of_rows, Unread::kFailed},
               {&too_tall, Unread::kTooLarge},
               {&over_budget, Unread::kTooLarge}};
  for (const Case& c : cases) {
    int asked = 0;
    Recognition read = Engine().Recognise(*c.page, {.stop = [&] { return ++asked, false; }});
    EXPECT_EQ(read.unread, c.why) << c.page->width << " x " << c.page->height << ": " << read.reason;
    EXPECT_EQ(asked, 0) << c.page->width << " x " << c.page->height << " reached Tesseract";
  }
  // A page within its budget as every output shows it is read, though its
  // rows made square would be over it.
  const FaxPage at_budget = test::SolidPage(1728, 100, 200, true);
  Recognition read = Engine().Recognise(at_budget, {.stop = {}, .seconds = 0, .pixels = 1728 * 100});
  EXPECT_TRUE(read.ok()) << read.reason;
}

// A reading that is running ends at the caller's stop, and once its page's
// time has run out (a page of text takes over a processor second; it is
// given a fifth of that).
TEST(OcrEngineTest, StopsAReadingWhenAskedOrOutOfTime) {
  const FaxPage page = test::FaxPageOf(test::DocumentPages().at(1).fine, true);
  int asked = 0;
  Recognition stopped = Engine().Recognise(page, {.stop = [&] { return ++asked == 3; }});
  EXPECT_EQ(stopped.unread, Unread::kStopped) << stopped.reason;
  EXPECT_EQ(asked, 3) << "Tesseract went on asking after it was told to stop";
  EXPECT_TRUE(stopped.text.text.empty());

  Recognition late = Engine().Recognise(page, {.stop = {}, .seconds = 0.2});
  EXPECT_EQ(late.unread, Unread::kTooLarge);
  EXPECT_NE(late.reason.find("took longer than"), std::string::npos) << late.reason;
  EXPECT_TRUE(Engine().Recognise(page).ok()) << "the engine is not usable after a stop";
}

// Refused before Tesseract loads anything, so an empty data file will do;
// which lists are taken and which packages are named, on any list,
// tests/fuzz/fuzz_ocr_parts shows.
TEST(MissingLanguageTest, IsRefusedSayingWhatToDo) {
  test::ScopedTempDir data;
  test::WriteFileText(data.File("eng.traineddata"), "");
  test::WriteFileText(data.File("osd.traineddata"), "");
  for (const auto& [languages, said] : {std::pair{"eng+deu", "install the package tesseract-ocr-deu"},
                                        std::pair{"eng+../../tmp/x", "is not a list of text recognition languages"}}) {
    platform::Expected<OcrEngine> engine = OcrEngine::Create(languages, data.Path());
    ASSERT_FALSE(engine.ok()) << languages;
    EXPECT_NE(engine.reason().find(said), std::string::npos) << engine.reason();
  }
}

}  // namespace
}  // namespace tamarind::ocr
