// The parts of recognition that need no Tesseract, on fuzzed input: a
// page as the Leptonica image Tesseract reads (every pixel, its rows
// stretched by any scale, nothing past the width), the image turned, a box found in
// either mapped back to the page's own pixels, and the check of a
// language list against a data folder.
#include <leptonica/allheaders.h>

#include <algorithm>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_input.h"
#include "ocr/languages.h"
#include "ocr/page_pix.h"

namespace {

using tamarind::fuzz::Expect;
using tamarind::ocr::PixelBox;

bool Black(const Pix& pix, int x, int y) {
  l_uint32 value = 0;
  pixGetPixel(const_cast<Pix*>(&pix), x, y, &value);
  return value != 0;
}

void CheckPix(const tamarind::FaxPage& page, tamarind::ocr::RowScale rows, const Pix& pix, const Pix& turned) {
  const int width = page.width, height = rows.image_rows;
  Expect(pixGetWidth(const_cast<Pix*>(&pix)) == width && pixGetHeight(const_cast<Pix*>(&pix)) == height &&
             pixGetDepth(const_cast<Pix*>(&pix)) == 1,
         "a 1-bit image of the page's width and the scale's rows");
  for (int y = 0; y < height; ++y)
    for (int x = 0; x < width; ++x) {
      Expect(Black(pix, x, y) != tamarind::fuzz::White(page, x, rows.PageRow(y)), "every pixel, black as 1");
      Expect(Black(turned, width - 1 - x, height - 1 - y) == Black(pix, x, y), "turned by half a turn");
    }
  const int wpl = pixGetWpl(const_cast<Pix*>(&pix));
  const l_uint32 pad = width % 32 == 0 ? 0 : ~l_uint32{0} >> (width % 32);
  for (int y = 0; y < height; ++y)
    Expect((pixGetData(const_cast<Pix*>(&pix))[static_cast<size_t>(y) * wpl + wpl - 1] & pad) == 0,
           "no bit set past the width");
}

// A box found in the image (turned or not) must map to the smallest page
// box that holds the page pixels of its corners, whatever the row scale.
void CheckBox(const Pix& recognised, const PixelBox& found, tamarind::ocr::RowScale rows, bool turned) {
  const int width = pixGetWidth(const_cast<Pix*>(&recognised)), height = pixGetHeight(const_cast<Pix*>(&recognised));
  const auto source = [&](int x, int y) {
    return std::pair{turned ? width - 1 - x : x, rows.PageRow(turned ? height - 1 - y : y)};
  };
  const auto [x0, y0] = source(found.left, found.top);
  const auto [x1, y1] = source(found.right - 1, found.bottom - 1);
  const PixelBox mapped = tamarind::ocr::BoxOnPage(recognised, found, rows, turned);
  Expect(mapped.left == std::min(x0, x1) && mapped.right == std::max(x0, x1) + 1 && mapped.top == std::min(y0, y1) &&
             mapped.bottom == std::max(y0, y1) + 1,
         "a box maps to the page pixels it shows");
}

// A data folder with a few languages, and another with the orientation
// data as well.
struct DataFolders {
  tamarind::fuzz::ScratchFolder scratch{"fuzz-ocr"};
  std::string without = scratch.File("without");
  std::string with = scratch.File("with");
  const std::set<std::string> installed{"chi_sim", "deu", "eng"};

  DataFolders() {
    for (const std::string& folder : {without, with}) {
      std::filesystem::create_directories(folder + "/fra.traineddata");  // a folder is no data
      for (const std::string& code : installed) tamarind::fuzz::WriteBytes(folder + "/" + code + ".traineddata", {});
    }
    tamarind::fuzz::WriteBytes(with + "/osd.traineddata", {});
    tamarind::fuzz::WriteBytes(with + "/equ.traineddata", {});
    Expect(tamarind::ocr::InstalledLanguages(with) == std::vector<std::string>(installed.begin(), installed.end()),
           "the languages installed, sorted, without the auxiliary data");
  }
};

// The list is refused unless every code is letters, digits and '_' and a
// language; taken when every one is installed and so is the orientation
// data; else the failure names the package of each missing one. No
// failure shows a control byte as it is.
void CheckLanguages(std::string_view list, const DataFolders& data, bool withOrientation) {
  bool valid = true;
  std::vector<std::string> missing;
  for (size_t start = 0, end = 0; end != std::string_view::npos; start = end + 1) {
    end = list.find('+', start);
    const std::string code(list.substr(start, end == std::string_view::npos ? end : end - start));
    valid = valid && !code.empty() && code != "osd" && code != "equ" &&
            std::all_of(code.begin(), code.end(),
                        [](char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '_'; });
    if (!data.installed.contains(code)) missing.push_back(code);
  }
  const tamarind::platform::Status checked =
      tamarind::ocr::CheckLanguages(list, withOrientation ? data.with : data.without);
  Expect(checked.ok() == (valid && missing.empty() && withOrientation), "a list is taken when installed");
  Expect(std::none_of(checked.reason().begin(), checked.reason().end(),
                      [](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; }),
         "no control byte in a reason");
  if (!valid) return;
  if (!withOrientation) missing.push_back("osd");
  for (std::string package : missing) {
    std::transform(package.begin(), package.end(), package.begin(), [](char c) {
      return c == '_' ? '-' : static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    });
    Expect(checked.reason().find(" tesseract-ocr-" + package) != std::string::npos, "each missing package named");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const DataFolders folders;
  FuzzedDataProvider in(data, size);
  CheckLanguages(in.ConsumeRandomLengthString(48), folders, in.ConsumeBool());

  const tamarind::FaxPage page = tamarind::fuzz::FuzzedPage(in, 6000);
  // Whole repeats, as outputs use, and the fractional scales of square
  // pixels (204 rows an inch from 196 or 98).
  const tamarind::ocr::RowScale rows{page.height, in.ConsumeIntegralInRange(page.height, 4 * page.height)};
  tamarind::ocr::PixPtr pix = tamarind::ocr::PixOfPage(page, rows);
  Expect(pix != nullptr, "a small page has its image");
  tamarind::ocr::PixPtr turned = tamarind::ocr::Rotated180(*pix);
  Expect(turned != nullptr, "a small image turns");
  CheckPix(page, rows, *pix, *turned);
  const int height = rows.image_rows;
  while (in.remaining_bytes() > 0) {
    const int left = in.ConsumeIntegralInRange(0, page.width - 1), top = in.ConsumeIntegralInRange(0, height - 1);
    const PixelBox found{left, top, in.ConsumeIntegralInRange(left + 1, page.width),
                         in.ConsumeIntegralInRange(top + 1, height)};
    const bool isTurned = in.ConsumeBool();
    CheckBox(isTurned ? *turned : *pix, found, rows, isTurned);
  }
  return 0;
}
