// One multi-page TIFF per fax: an image file directory per page, each a
// single Group 4 strip, min-is-white, with the page's true resolution.
#pragma once

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "codec/fax/fax_page.h"
#include "codec/tiff/document_info.h"
#include "platform/atomic_file.h"
#include "platform/outcome.h"

namespace tamarind {

struct TiffPageExtras {
  // A page stored upside down (as recognition found it) gets Orientation 3,
  // so that viewers show it turned upright; its coded image stays as it
  // came. Other pages get no Orientation, which readers take as upright.
  // (Quarter turns, Orientation 6 and 8, are left out: libtiff's RGBA
  // reader, which many viewers use, draws them wrongly.)
  bool upside_down = false;
};

// Usage: construct on a fresh atomic output file, AddPage() each page in
// order, Finish(), then commit the file; discard it when Finish() fails.
//
// Every directory records DocumentName (the title), ImageDescription (the
// subject, when there is one), Software, DateTime (the source's
// modification time, local time) and PageNumber (n, total). The total is
// known only once every page has been tried (a page that fails to decode
// is left out by its caller), so Finish() sets the totals to the pages
// actually written. The texts are written as given (UTF-8, which TIFF's
// 7-bit ASCII type does not know of but readers pass on as bytes), with
// control bytes shown escaped as everywhere else the program writes a
// name: "\x1b", "\r". A tag reader that prints them cannot be made to
// drive a terminal.
//
// Pages are streamed: each page's directory is written first, then its
// strip as libtiff's encoder makes it, then the strip's length goes back
// into the directory. Memory holds one row of the page being coded and a
// 64 KiB piece of its code, plus eight bytes a page for the closing
// fix-ups. (libtiff's own writer reads back what it wrote while it links
// directories, which the atomic writer's write-only stream cannot serve.)
class TiffDocumentWriter {
 public:
  TiffDocumentWriter(platform::AtomicOutputFile& file, const DocumentInfo& info);
  TiffDocumentWriter(const TiffDocumentWriter&) = delete;
  TiffDocumentWriter& operator=(const TiffDocumentWriter&) = delete;

  // Adds |page| as the next page. On failure (no rows, a bitmap that does
  // not hold them, a document past the
  // 4 GiB of classic TIFF) nothing of the page is written; a failed write
  // fails the page and, with the same reason, every later call.
  platform::Status AddPage(const FaxPage& page, const TiffPageExtras& extras = {});
  // Completes the document. Fails when no page was added or the file could
  // not be written.
  platform::Status Finish();

  int PagesWritten() const { return static_cast<int>(pageNumberOffsets_.size()); }

 private:
  void Put(const std::vector<uint8_t>& bytes);
  bool Patch(uint32_t at, const std::vector<uint8_t>& bytes);
  platform::Status WriteFailure(int error);

  platform::AtomicOutputFile& file_;
  FILE* stream_;
  std::string name_;         // DocumentName
  std::string description_;  // ImageDescription; none when empty
  std::string dateTime_;     // DateTime
  uint64_t offset_ = 0;      // bytes written
  // Where each page's PageNumber total and the last page's link to a next
  // directory stand, for Finish().
  std::vector<uint32_t> pageNumberOffsets_;
  uint32_t lastLinkOffset_ = 0;
  bool finished_ = false;
  platform::Status writeError_;  // why a write failed part way through a page; ok while none did
};

}  // namespace tamarind
