// One multi-page TIFF per fax: an image file directory per page, each a
// single Group 4 strip, min-is-white, with the page's true resolution.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/fax/fax_page.h"
#include "codec/tiff/document_info.h"
#include "platform/atomic_file.h"
#include "platform/outcome.h"

namespace tamarind {

// Usage: construct on a fresh atomic output file, AddPage() each page in
// order, Finish(), then commit the file; discard it when Finish() fails.
//
// Every directory records DocumentName (the title), Software, DateTime (the
// source's modification time, local time) and PageNumber (n, total). The
// total is known only once every page has been tried (a page that fails to
// decode is left out by its caller), so Finish() sets the totals to the
// pages actually written.
//
// The strips come from libtiff's encoder; the few bytes of file structure
// around them are written here. libtiff's own writer reads back what it
// wrote while it links directories, which the atomic writer's write-only
// stream cannot serve, and building the document in memory instead would
// hold every page of a fax at once. This way pages are streamed: memory
// holds one page's strip, plus eight bytes a page for the closing fix-ups.
class TiffDocumentWriter {
 public:
  TiffDocumentWriter(platform::AtomicOutputFile& file, DocumentInfo info);
  TiffDocumentWriter(const TiffDocumentWriter&) = delete;
  TiffDocumentWriter& operator=(const TiffDocumentWriter&) = delete;

  // Adds |page| as the next page. On failure (no rows, a bitmap that does
  // not hold them, a document past the 4 GiB of classic TIFF) nothing of
  // the page is written.
  platform::Status AddPage(const FaxPage& page);
  // Completes the document. Fails when no page was added or the file could
  // not be written.
  platform::Status Finish();

  int PagesWritten() const { return static_cast<int>(pageNumberOffsets_.size()); }

 private:
  void Put(const std::vector<uint8_t>& bytes);

  platform::AtomicOutputFile& file_;
  FILE* stream_;
  std::string name_;      // DocumentName
  std::string dateTime_;  // DateTime
  uint64_t offset_ = 0;   // bytes written
  // Where each page's PageNumber total and the last page's link to a next
  // directory stand, for Finish().
  std::vector<uint32_t> pageNumberOffsets_;
  uint32_t lastLinkOffset_ = 0;
  bool finished_ = false;
};

}  // namespace tamarind
