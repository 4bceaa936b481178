// Text recognition of fax pages with Tesseract.
//
// One OcrEngine per worker thread: creating one loads the language data
// (tens of megabytes, a fraction of a second), so a worker creates its engine
// once and recognises every page with it. An engine is not shared between
// threads; engines in different threads run independently.
//
// Tesseract's own threads are kept off. Its LSTM recogniser asks OpenMP for
// four threads per layer; the workers already use every core, and on a
// two-core machine a fine page took 7.0 s with those threads against 1.0 s
// without. The usual remedy, OMP_THREAD_LIMIT=1, is read by the OpenMP
// runtime only once, when the library is loaded before main() runs, so a
// setenv() in the program has no effect (measured: still 7 s). Instead
// Recognise() caps the nesting of active parallel regions at zero for the
// calling thread (an OpenMP setting each thread has for itself), and every
// parallel region Tesseract opens then runs on that thread alone. Only the
// calling thread's setting changes.
//
// Resolution. Tesseract takes one resolution for both directions, so a
// page is recognised with square pixels: its rows are scaled to as many
// an inch as it has pixels across (a fine page's 196 rows an inch become
// 204, two rows in every 49 shown twice; a standard page's 98 become 204).
// On the groff manual's pages this found a tenth to a quarter of the
// words missed before (recall 98.90% to 99.16% fine, 97.43% to 97.69%
// standard) at the same processor time. A superfine page (391 rows an inch) keeps its rows,
// and so does a page whose scaled image would be over its pixel budget,
// which is counted on the page as every output shows it (PageGeometry).
// Tesseract is told the true resolution across.
//
// Page geometry. Boxes are in the page's own pixels as stored in the
// FaxPage: x in columns, y in rows with row 0 at the top (a standard page's
// own rows, not the repeated ones), edges inclusive at left and top and
// exclusive at right and bottom, so a one-pixel box at the top-left corner
// is {0, 0, 1, 1}.
//
// Orientation. A page is read as stored first. When that reading is poor
// (mean word confidence below 70; upright text reads about 90) and
// Tesseract's orientation detection is confident that the page is upside
// down, it is read again turned by 180 degrees, and the more confident
// reading is kept. A page kept turned reports rotation 180: shown turned by
// 180 degrees it reads upright (a PDF page gets /Rotate 180; the image
// itself stays as stored). Its boxes still refer to the stored, unturned
// page: a word's box is where its ink lies in the stored image, and its
// letters run from the box's right edge to its left with the baseline near
// the box's top edge. Pages on their side (90 or 270 degrees) are read as
// stored.
//
// Budget. Recognition's cost follows the page's ink as much as its size:
// a page of noise takes ten bytes a pixel and most of its time in layout
// analysis, a page of text two bytes a pixel and most of its time reading
// words. A page is refused before Tesseract sees it when its worst case
// (RecognitionBytesFor) exceeds the memory recognition may take; once
// reading, it is stopped when its processor time runs past its share
// (RecognitionSecondsFor) or the caller asks it to stop. Tesseract asks
// about stopping between words only: its layout analysis and orientation
// detection run to their end (on the largest page taken, noise, a few
// seconds; see the constants in ocr_engine.cpp for the measurements).
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "codec/fax/fax_page.h"
#include "ocr/languages.h"
#include "platform/outcome.h"

namespace tamarind::ocr {

// A rectangle of page pixels: left and top inclusive, right and bottom
// exclusive.
struct PixelBox {
  int32_t left = 0;
  int32_t top = 0;
  int32_t right = 0;
  int32_t bottom = 0;
};

struct Word {
  std::string text;  // UTF-8
  PixelBox box;
};

struct PageText {
  std::vector<Word> words;  // in reading order
  std::string text;         // the page's plain text, UTF-8, lines ending in '\n'
  int rotation = 0;         // 0, or 180 when the page is stored upside down
};

// The most pixels either way of the image Tesseract reads, which keeps
// coordinates in 16 bits.
inline constexpr int32_t kMaxRecognisedDimension = 32767;

// The most pixels (rows repeated) of a page recognition takes: 2^24, an A3
// page at 196 lines per inch or an A4 page at 391. See ocr_engine.cpp.
inline constexpr int64_t kMaxRecognisedPixels = int64_t{1} << 24;

// Memory recognising a page of |pixels| may take at worst (noise), beyond
// the engine itself.
int64_t RecognitionBytesFor(int64_t pixels);
// What memory one engine takes once loaded, and at most while recognising
// the largest page it takes: what a worker that recognises needs besides
// its page.
int64_t RecognitionMemoryBound();

// Processor seconds recognising a page of |pixels| may take: several times
// what a page of dense text that size takes.
double RecognitionSecondsFor(int64_t pixels);

struct RecognitionLimits {
  // Asked between words while Tesseract reads (tens of times a second) and
  // between readings; true ends the page unread.
  std::function<bool()> stop;
  // The page's processor seconds; 0: RecognitionSecondsFor its pixels.
  double seconds = 0;
  // The most pixels the page may have; 0: kMaxRecognisedPixels.
  int64_t pixels = 0;
};

// Why a page's text was not read.
enum class Unread {
  kNone,      // it was read
  kFailed,    // the page or Tesseract failed; the reason says how
  kTooLarge,  // over its budget: refused before recognition, or out of time
  kStopped,   // the caller's stop came
};

struct Recognition {
  PageText text;  // empty unless read
  Unread unread = Unread::kNone;
  std::string reason;  // why not, in the user's words; "" when read

  bool ok() const { return unread == Unread::kNone; }
};

class OcrEngine {
 public:
  // An engine for |languages|, Tesseract codes joined by '+' ("eng",
  // "eng+deu"), with data from |data_folder|. Fails, before loading
  // anything, when a language's data is missing (naming the package to
  // install, see CheckLanguages()), or when Tesseract cannot load it.
  static platform::Expected<OcrEngine> Create(std::string_view languages, const std::string& data_folder);
  static platform::Expected<OcrEngine> Create(std::string_view languages);  // from DefaultDataFolder()

  OcrEngine(OcrEngine&&) noexcept;
  OcrEngine& operator=(OcrEngine&&) noexcept;
  ~OcrEngine();

  // The words and text of |page|, within |limits|. Not read when the page
  // is empty, does not hold its rows, is too large for Tesseract (more than
  // 32767 pixels either way once its rows are repeated) or for its budget,
  // runs out of time, is stopped, or recognition fails; the engine stays
  // usable for the next page.
  Recognition Recognise(const FaxPage& page, const RecognitionLimits& limits = {});

 private:
  struct Tesseracts;
  explicit OcrEngine(std::unique_ptr<Tesseracts> tesseracts);

  std::unique_ptr<Tesseracts> tesseracts_;
};

}  // namespace tamarind::ocr
