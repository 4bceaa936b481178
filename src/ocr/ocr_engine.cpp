#include "ocr/ocr_engine.h"

#ifndef _WIN32
#include <dlfcn.h>
#endif
#include <leptonica/allheaders.h>
#include <tesseract/baseapi.h>
#include <tesseract/ocrclass.h>
#include <tesseract/resultiterator.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <exception>
#include <mutex>
#include <string>

#include "codec/fax/page_geometry.h"
#include "codec/fax/page_resolution.h"
#include "ocr/page_pix.h"
#include "platform/processor_time.h"

namespace tamarind::ocr {
namespace {

// A reading whose mean word confidence reaches this is taken as upright
// without asking the orientation detection (a fifth of a second a page):
// upright text pages read 90 here, the same pages upside down 32 to 38.
constexpr int kConfidentReading = 70;
// Tesseract calls 15 "reasonably confident"; upside-down text pages score
// 19 to 31 here, sparse pages less, and those are left as they are.
constexpr float kConfidentOrientation = 15.0f;

// ---- Budget ---------------------------------------------------------------
// Measured with bench_budgets (README, Text recognition): pages of the
// groff manual at 204 x 196 dpi, one column of them (1728 pixels wide) or
// four side by side (6912), and pages of noise (each pixel black or white
// at random) of the same sizes, each in a process of its own on a busy
// two-core machine.
//
// Memory beyond the loaded engine: noise 44 MB at 4.0 Mpx, 80 at 7.9, 174
// at 15.8, 319 at 31.7 (10.6 to 11.8 bytes a pixel; 13.4 in an earlier
// run); text 16, 23, 39 and 75 MB (2.5 to 4.3 bytes a pixel). The worst
// case taken is noise at 14 bytes a pixel. An engine (eng and osd) takes
// 61 MB once loaded.
constexpr int64_t kWorstBytesPerPixel = 14;
constexpr int64_t kEngineBytes = int64_t{64} << 20;
//
// Time: text read at 0.41 to 0.43 processor seconds a megapixel in one
// column and at 0.81 in four (Tesseract's line finding grows with the
// width); noise at 0.32 to 0.76, nearly all of it in layout analysis. A
// page gets about four times the slowest rate of text, and ten seconds at
// least: no ordinary page comes near it, and a page that would read for
// many minutes (a 6912 x 16384 page of text ran 27 minutes) ends instead.
constexpr double kSecondsPerMegapixel = 3.0;
constexpr double kLeastSeconds = 10.0;

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

// Tesseract's cancel callback for one page: the caller's stop, and the
// page's processor time. Asked on the thread that reads the page.
class PageWatch {
 public:
  PageWatch(const std::function<bool()>& stop, double seconds)
      : stop_(stop), deadline_(platform::ThreadProcessorSeconds() + seconds) {}

  // True once the page must end unread; it stays so.
  bool Ended() {
    if (why_ != Unread::kNone) return true;
    if (stop_ && stop_()) why_ = Unread::kStopped;
    else if (platform::ThreadProcessorSeconds() > deadline_) why_ = Unread::kTooLarge;
    return why_ != Unread::kNone;
  }
  Unread Why() const { return why_; }

  static bool Cancel(void* watch, int /*words*/) { return static_cast<PageWatch*>(watch)->Ended(); }

 private:
  const std::function<bool()>& stop_;
  const double deadline_;
  Unread why_ = Unread::kNone;
};

struct TextDeleter {
  void operator()(char* text) const { delete[] text; }
};
using TesseractText = std::unique_ptr<char[], TextDeleter>;

// Where the boxes Tesseract finds in |recognised| lie in the stored page.
struct BoxMapping {
  const Pix& recognised;
  RowScale rows;
  bool turned;

  PixelBox ToPage(const PixelBox& found) const { return BoxOnPage(recognised, found, rows, turned); }
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
    words.push_back(Word{text.get(), mapping.ToPage({left, top, right, bottom})});
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
  platform::Expected<Reading> Read(Pix& pix, int dpi, const BoxMapping& mapping, PageWatch& watch);
  platform::Expected<PageText> ReadEitherWayUp(Pix& pix, int dpi, RowScale rows, PageWatch& watch);
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

platform::Expected<Reading> OcrEngine::Tesseracts::Read(Pix& pix, int dpi, const BoxMapping& mapping,
                                                        PageWatch& watch) {
  reader.SetImage(&pix);
  reader.SetSourceResolution(dpi);
  tesseract::ETEXT_DESC monitor;
  monitor.cancel = &PageWatch::Cancel;
  monitor.cancel_this = &watch;
  // A reading cut short returns what it read so far, which is not the page.
  if (reader.Recognize(&monitor) != 0 || watch.Ended()) {
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
platform::Expected<PageText> OcrEngine::Tesseracts::ReadEitherWayUp(Pix& pix, int dpi, RowScale rows,
                                                                    PageWatch& watch) {
  platform::Expected<Reading> upright = Read(pix, dpi, BoxMapping{pix, rows, false}, watch);
  if (!upright) return std::move(upright).failure();
  if (upright->confidence >= kConfidentReading || watch.Ended() || !IsUpsideDown(pix, dpi))
    return std::move(upright->text);

  PixPtr turned_pix = Rotated180(pix);
  if (!turned_pix) return platform::Failure{"out of memory for text recognition"};
  platform::Expected<Reading> turned = Read(*turned_pix, dpi, BoxMapping{*turned_pix, rows, true}, watch);
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

int64_t RecognitionBytesFor(int64_t pixels) { return kWorstBytesPerPixel * pixels; }

int64_t RecognitionMemoryBound() { return kEngineBytes + RecognitionBytesFor(kMaxRecognisedPixels); }

double RecognitionSecondsFor(int64_t pixels) {
  return std::max(kLeastSeconds, kSecondsPerMegapixel * static_cast<double>(pixels) / 1e6);
}

namespace {

Recognition Unrecognised(Unread why, std::string reason) { return Recognition{{}, why, std::move(reason)}; }

std::string SizeText(const FaxPage& page) {
  return std::to_string(page.width) + " x " + std::to_string(page.height) + " pixels";
}

}  // namespace

Recognition OcrEngine::Recognise(const FaxPage& page, const RecognitionLimits& limits) {
  const Resolution resolution = TrueResolution(page);
  const PageGeometry geometry(page);
  if (platform::Status fits = CheckPage(page, geometry); !fits) {
    const bool tooLarge = !geometry.Empty() && HoldsRows(page);
    return Unrecognised(tooLarge ? Unread::kTooLarge : Unread::kFailed, fits.reason());
  }
  const int64_t most_pixels = limits.pixels > 0 ? limits.pixels : kMaxRecognisedPixels;
  if (geometry.Width() * geometry.OutputHeight() > most_pixels)
    return Unrecognised(Unread::kTooLarge, "the page is too large for text recognition (" + SizeText(page) + ")");
  const RowScale rows = RecognisedRows(page, most_pixels);
  const double seconds =
      limits.seconds > 0 ? limits.seconds : RecognitionSecondsFor(geometry.Width() * rows.image_rows);
  PageWatch watch(limits.stop, seconds);
  KeepParallelRegionsOnThisThread();
  try {
    PixPtr pix = PixOfPage(page, rows);
    if (!pix) return Unrecognised(Unread::kFailed, "out of memory for text recognition");
    const int dpi = static_cast<int>(std::lround(resolution.x));
    pixSetResolution(pix.get(), dpi, static_cast<int>(std::lround(resolution.y * rows.image_rows / rows.page_rows)));
    platform::Expected<PageText> text = tesseracts_->ReadEitherWayUp(*pix, dpi, rows, watch);
    if (watch.Why() == Unread::kStopped) return Unrecognised(Unread::kStopped, "text recognition stopped");
    if (watch.Why() == Unread::kTooLarge) {
      char budget[32];
      std::snprintf(budget, sizeof budget, "%.0f", seconds);
      return Unrecognised(Unread::kTooLarge, "text recognition took longer than the " + std::string(budget) +
                                                 " processor seconds a page of " + SizeText(page) + " may take");
    }
    if (!text) return Unrecognised(Unread::kFailed, text.reason());
    return Recognition{std::move(*text), Unread::kNone, {}};
  } catch (const std::exception& error) {
    return Unrecognised(Unread::kFailed, std::string("text recognition failed: ") + error.what());
  }
}

}  // namespace tamarind::ocr
