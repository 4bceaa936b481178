// One multi-page TIFF per fax: an image file directory per page, each a
// single Group 4 strip, min-is-white, with the page's true resolution.
#pragma once

#include <cstdint>
#include <memory>

#include "codec/fax/fax_page.h"
#include "codec/tiff/document_info.h"
#include "platform/atomic_file.h"
#include "platform/outcome.h"

namespace tamarind {

namespace tiff_internal {
class MemoryTiff;
}

// Usage: construct on a fresh atomic output file, AddPage() each page in
// order, Finish(), then commit the file; discard it when Finish() fails.
//
// Every directory records DocumentName (the title), Software, DateTime (the
// source's modification time, local time) and PageNumber (n, total). The
// total is known only once every page has been tried: a page that fails to
// decode is left out by its caller, so Finish() sets the totals to the pages
// actually written. The document is therefore built in memory (its Group 4
// data, tens of kilobytes a page) and written out by Finish().
class TiffDocumentWriter {
 public:
  TiffDocumentWriter(platform::AtomicOutputFile& file, DocumentInfo info);
  ~TiffDocumentWriter();
  TiffDocumentWriter(const TiffDocumentWriter&) = delete;
  TiffDocumentWriter& operator=(const TiffDocumentWriter&) = delete;

  // Adds |page| as the next page. On failure (no rows, a bitmap that does
  // not hold them, libtiff out of memory) the page is left out and the
  // pages before it stay as they are.
  platform::Status AddPage(const FaxPage& page);
  // Writes the document to the file. Fails when no page was added, when a
  // page failed in a way that damaged the document, or when the file
  // cannot be written.
  platform::Status Finish();

  int PagesWritten() const { return pages_; }

 private:
  platform::AtomicOutputFile& file_;
  DocumentInfo info_;
  std::unique_ptr<tiff_internal::MemoryTiff> tiff_;
  platform::Status broken_;
  int pages_ = 0;
};

}  // namespace tamarind
