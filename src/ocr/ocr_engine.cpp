#include "ocr/ocr_engine.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cmath>
#include <exception>
#include <mutex>
#include <string>

#include "codec/fax/page_geometry.h"
#include "codec/fax/page_resolution.h"
#include "ocr/page_pix.h"

namespace tamarind::ocr {
namespace {

// Tesseract keeps coordinates in 16 bits.
constexpr int32_t kMaxRecognisedDimension = 32767;
// A reading whose mean word confidence reaches this is taken as upright
// without asking the orientation detection (a fifth of a second a page):
// upright text pages read 90 here, the same pages upside down 32 to 38.
constexpr int kConfidentReading = 70;
// Tesseract calls 15 "reasonably confident"; upside-down text pages score
// 19 to 31 here, sparse pages less, and those are left as they are.
constexpr float kConfidentOrientation = 15.0f;

// The page's true resolution in dots per inch, as doubles for the ratios.
struct Resolution {
  double x = 0;
  double y = 0;
};

Resolution TrueResolution(const FaxPage& page) {
  const PageResolution resolution = TruePageResolution(page);
  return {static_cast<double>(resolution.x_dpi), static_cast<double>(resolution.y_dpi)};
}

// See the header: parallel regions opened by this thread run on it alone.
// Looked up at run time in the OpenMP runtime Tesseract was linked with; a
// Tesseract built without OpenMP has none and needs nothing.
void KeepParallelRegionsOnThisThread() {
#ifdef _WIN32
  // The Windows build's Tesseract is built without OpenMP.
#else
  using SetMaxActiveLevels = void (*)(int);
  static const auto set_max_active_levels =
      reinterpret_cast<SetMaxActiveLevels>(dlsym(RTLD_DEFAULT, "omp_set_max_active_levels"));
  if (set_max_active_levels != nullptr) set_max_active_levels(0);
#endif
}

platform::Status CheckPage(const FaxPage& page, const PageGeometry& geometry) {
  if (geometry.Empty()) return platform::Failure{"the page is empty"};
  if (!HoldsRows(page)) return platform::Failure{"the page does not hold its rows"};
  if (geometry.Width() > kMaxRecognisedDimension || geometry.OutputHeight() > kMaxRecognisedDimension)
    return platform::Failure{"the page is too large for text recognition (" + std::to_string(page.width) + " x " +
                             std::to_string(page.height) + " pixels)"};
  return platform::Status::Ok();
}

struct TextDeleter {
  void operator()(char* text) const { delete[] text; }
};
using TesseractText = std::unique_ptr<char[], TextDeleter>;

// Where a box Tesseract found in the recognised image lies in the stored page.
class BoxMapping {
 public:
  BoxMapping(const Pix& recognised, int row_repeat, bool turned)
      : width_(pixGetWidth(const_cast<Pix*>(&recognised))),
        height_(pixGetHeight(const_cast<Pix*>(&recognised))),
        row_repeat_(row_repeat),
        turned_(turned) {}

  PixelBox ToPage(int left, int top, int right, int bottom) const {
    if (turned_) {
      const int turned_left = width_ - right;
      const int turned_top = height_ - bottom;
      right = width_ - left;
      bottom = height_ - top;
      left = turned_left;
      top = turned_top;
    }
    return PixelBox{left, top / row_repeat_, right, (bottom + row_repeat_ - 1) / row_repeat_};
  }

 private:
  int width_;
  int height_;
  int row_repeat_;
  bool turned_;
};

std::vector<Word> WordsOf(tesseract::TessBaseAPI& tesseract, const BoxMapping& mapping) {
  std::vector<Word> words;
  std::unique_ptr<tesseract::ResultIterator> it(tesseract.GetIterator());
  if (!it) return words;
  constexpr auto kWord = tesseract::RIL_WORD;
  do {
    TesseractText text(it->GetUTF8Text(kWord));
    int left = 0, top = 0, right = 0, bottom = 0;
    if (!text || *text.get() == '\0' || !it->BoundingBox(kWord, &left, &top, &right, &bottom)) continue;
    words.push_back(Word{text.get(), mapping.ToPage(left, top, right, bottom)});
  } while (it->Next(kWord));
  return words;
}

// Tesseract's parameters and its message file are process-wide, so engines
// are set up one at a time, whichever threads create them.
std::mutex& SetupLock() {
  static std::mutex lock;
  return lock;
}

platform::Status Load(tesseract::TessBaseAPI& tesseract, const std::string& data_folder, const std::string& languages,
                      tesseract::OcrEngineMode mode) {
  // Tesseract's notes ("Empty page!!", resolution warnings) would land in
  // the middle of the program's own report and progress lines.
  tesseract.SetVariable("debug_file", "/dev/null");
  if (tesseract.Init(data_folder.c_str(), languages.c_str(), mode) != 0)
    return platform::Failure{"Tesseract cannot load its data for " + languages + " from " + data_folder};
  return platform::Status::Ok();
}

}  // namespace

// A page's text and Tesseract's mean word confidence in it, 0 to 100.
struct Reading {
  PageText text;
  int confidence = 0;
};

struct OcrEngine::Tesseracts {
  tesseract::TessBaseAPI reader;       // the languages, LSTM recogniser
  tesseract::TessBaseAPI orientation;  // "osd", orientation detection only

  bool IsUpsideDown(Pix& pix, int dpi);
  platform::Expected<Reading> Read(Pix& pix, int dpi, const BoxMapping& mapping);
  platform::Expected<PageText> ReadEitherWayUp(Pix& pix, int dpi, int row_repeat);
};

bool OcrEngine::Tesseracts::IsUpsideDown(Pix& pix, int dpi) {
  orientation.SetImage(&pix);
  orientation.SetSourceResolution(dpi);
  int degrees = 0;
  float confidence = 0;
  const char* script = nullptr;
  float script_confidence = 0;
  const bool found = orientation.DetectOrientationScript(&degrees, &confidence, &script, &script_confidence);
  orientation.Clear();
  return found && degrees == 180 && confidence >= kConfidentOrientation;
}

platform::Expected<Reading> OcrEngine::Tesseracts::Read(Pix& pix, int dpi, const BoxMapping& mapping) {
  reader.SetImage(&pix);
  reader.SetSourceResolution(dpi);
  if (reader.Recognize(nullptr) != 0) {
    reader.Clear();
    return platform::Failure{"text recognition failed"};
  }
  Reading reading;
  TesseractText text(reader.GetUTF8Text());
  if (text) reading.text.text = text.get();
  reading.text.words = WordsOf(reader, mapping);
  reading.confidence = reader.MeanTextConf();
  reader.Clear();
  return reading;
}

// Reads the page as stored; a poor reading of a page the orientation
// detection finds upside down is read again turned, and the more confident
// reading is kept.
platform::Expected<PageText> OcrEngine::Tesseracts::ReadEitherWayUp(Pix& pix, int dpi, int row_repeat) {
  platform::Expected<Reading> upright = Read(pix, dpi, BoxMapping(pix, row_repeat, false));
  if (!upright) return std::move(upright).failure();
  if (upright->confidence >= kConfidentReading || !IsUpsideDown(pix, dpi)) return std::move(upright->text);

  PixPtr turned_pix = Rotated180(pix);
  if (!turned_pix) return platform::Failure{"out of memory for text recognition"};
  platform::Expected<Reading> turned = Read(*turned_pix, dpi, BoxMapping(*turned_pix, row_repeat, true));
  if (!turned || turned->confidence <= upright->confidence) return std::move(upright->text);
  turned->text.rotation = 180;
  return std::move(turned->text);
}

platform::Expected<OcrEngine> OcrEngine::Create(std::string_view languages) {
  return Create(languages, DefaultDataFolder());
}

platform::Expected<OcrEngine> OcrEngine::Create(std::string_view languages, const std::string& data_folder) {
  if (platform::Status installed = CheckLanguages(languages, data_folder); !installed)
    return std::move(installed).failure();
  auto tesseracts = std::make_unique<Tesseracts>();
  std::lock_guard<std::mutex> hold(SetupLock());
  platform::Status loaded = Load(tesseracts->reader, data_folder, std::string(languages), tesseract::OEM_LSTM_ONLY);
  if (loaded) loaded = Load(tesseracts->orientation, data_folder, "osd", tesseract::OEM_TESSERACT_ONLY);
  if (!loaded) return std::move(loaded).failure();
  // Fax pages mix letterheads, columns and tables: find the blocks first.
  tesseracts->reader.SetPageSegMode(tesseract::PSM_AUTO);
  tesseracts->orientation.SetPageSegMode(tesseract::PSM_OSD_ONLY);
  return OcrEngine(std::move(tesseracts));
}

OcrEngine::OcrEngine(std::unique_ptr<Tesseracts> tesseracts) : tesseracts_(std::move(tesseracts)) {}
OcrEngine::OcrEngine(OcrEngine&&) noexcept = default;
OcrEngine& OcrEngine::operator=(OcrEngine&&) noexcept = default;
OcrEngine::~OcrEngine() = default;

platform::Expected<PageText> OcrEngine::Recognise(const FaxPage& page) {
  const Resolution resolution = TrueResolution(page);
  const PageGeometry geometry(page);
  if (platform::Status fits = CheckPage(page, geometry); !fits) return std::move(fits).failure();
  const int row_repeat = static_cast<int>(geometry.RowRepeat());
  KeepParallelRegionsOnThisThread();
  try {
    PixPtr pix = PixOfPage(page, row_repeat);
    if (!pix) return platform::Failure{"out of memory for text recognition"};
    const int dpi = static_cast<int>(std::lround(resolution.x));
    pixSetResolution(pix.get(), dpi, static_cast<int>(std::lround(resolution.y * row_repeat)));
    return tesseracts_->ReadEitherWayUp(*pix, dpi, row_repeat);
  } catch (const std::exception& error) {
    return platform::Failure{std::string("text recognition failed: ") + error.what()};
  }
}

}  // namespace tamarind::ocr
