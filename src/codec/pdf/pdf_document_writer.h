// One PDF/A-2b document per fax: each page a Group 4 image at the page's
// true resolution, optionally with an invisible text layer; or PDF/A-3b,
// the same with the original fax file inside.
//
// The writer is a few hundred lines of its own around libtiff's Group 4
// data. The PDF libraries at hand were weighed: qpdf works on objects and
// builds no pages or images, so every object here would be made by hand all
// the same; libharu codes 1-bit images as Group 4 but knows only PDF/A-1;
// Qt's QPdfWriter stores 1-bit images Flate-coded (no Group 4) and its
// PDF/A mode is PDF/A-1b; cairo can pass Group 4 data through but writes
// neither XMP nor an output intent; PoDoFo 0.9 can carry raw Group 4 data
// but leaves all of PDF/A to its caller. The few objects a fax needs are
// simpler to write exactly than to coax out of any of them.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "codec/fax/fax_page.h"
#include "codec/tiff/document_info.h"
#include "platform/atomic_file.h"
#include "platform/file_handle.h"
#include "platform/files.h"
#include "platform/outcome.h"

namespace tamarind {

// A recognised word: its text and where it stands on the page, in the
// page's own pixels (x across from the left, y down from the top row; x1
// and y1 one past the last column and row).
struct PdfWord {
  std::string text;  // UTF-8
  int32_t x0 = 0;
  int32_t y0 = 0;
  int32_t x1 = 0;
  int32_t y1 = 0;
};

struct PdfPageExtras {
  int rotate = 0;  // clockwise quarter turns for display, in degrees: 0, 90, 180 or 270
  // An invisible text layer (render mode 3) over the image: each word
  // stretched onto its box, so search and selection find it in place.
  std::span<const PdfWord> words;
};

// The file a document was made from, carried inside it as PDF/A-3 allows:
// an associated file of the document (/AF) whose relationship to it is
// /Source, listed among its embedded files, of MIME type
// application/x-winfax.
struct PdfEmbeddedSource {
  platform::FileHandle file;    // open for reading; read from its start by Finish()
  std::string name;             // the name a reader offers to save it under (UTF-8)
  platform::FileTime modified;  // its modification time
};

// Usage: construct on a fresh atomic output file, AddPage() each page in
// order, Finish(), then commit the file; discard it when Finish() fails.
//
// Pages are streamed: only the page being added is held in memory, with
// the coded images of earlier pages up to 4 MiB (a page whose image is
// byte for byte one of them shows that image object), and an embedded
// source is copied in pieces. The same pages, DocumentInfo and
// source give the same bytes every time (the file identifier is a digest
// of the content; no clock is read).
//
// The metadata (title, subject, producer, dates) is said alike in the
// document information dictionary and the XMP packet, as PDF/A requires;
// control bytes in a title or subject are shown escaped ("\x1b", "\r"),
// as in every output of the program, since XML could not carry them as
// they are.
//
// Page boxes are the page's size in points rounded down to a millionth:
// a reader that sizes its raster from them at the page's resolution (as
// poppler rounds up, Ghostscript to the nearest) gets exactly the page's
// pixels, never one more.
class PdfDocumentWriter {
 public:
  // |textFont| is a TrueType font program whose glyph 1 stands for every
  // character (Tesseract's glyph-less pdf.ttf); it is embedded once when a
  // page has words, and may be empty when none does. With |source| the
  // document is PDF/A-3b and carries it; without, PDF/A-2b.
  PdfDocumentWriter(platform::AtomicOutputFile& file, DocumentInfo info, std::vector<uint8_t> textFont = {},
                    std::optional<PdfEmbeddedSource> source = std::nullopt);
  ~PdfDocumentWriter();
  PdfDocumentWriter(const PdfDocumentWriter&) = delete;
  PdfDocumentWriter& operator=(const PdfDocumentWriter&) = delete;

  // Adds |page| as the next page. On failure (no rows, a bitmap that does
  // not hold them, a rotation not in quarter turns, words without a usable
  // font) nothing of the page is written.
  platform::Status AddPage(const FaxPage& page, const PdfPageExtras& extras = {});
  // Writes the document's closing objects (and the embedded source) and
  // cross-reference table. Fails when no page was added, the file could
  // not be written, or the source could not be read whole (or changed size
  // while it was read).
  platform::Status Finish();

  int PagesWritten() const;

 private:
  class Impl;
  std::unique_ptr<Impl> impl_;
};

}  // namespace tamarind
