// Reader of WinFax page files: a chain of 128-byte page headers, each
// followed by the page's Group 3 or Group 4 coded data (stored least
// significant bit first). The chain is walked once to find every page; any
// page is then read by seeking straight to its header.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "codec/fax/fax_page.h"
#include "faxdoc/file_reader.h"

namespace tamarind {

// The header fields the reader uses, as stored (little-endian in the file).
struct WinFaxPageHeader {
  static constexpr size_t kSize = 128;
  static constexpr uint16_t kDefaultWidth = 1728;
  static constexpr uint16_t kDefaultLength = 3432;
  // The sender's text runs from byte 9 to its NUL, and never into the link
  // fields at byte 89.
  static constexpr size_t kTextOffset = 9;
  static constexpr size_t kTextEnd = 89;

  bool signature_ok = false;  // bytes 0 and 1 are 0x0B 0x23
  uint16_t width = 0;         // pixels per line; 0 stands for 1728
  uint16_t length = 0;        // expected lines; 0 stands for 3432
  uint8_t coding_flag = 0;    // 0 Group 3 one-dimensional, other Group 4
  int32_t link_base = 0;
  int32_t link_span = 0;
  uint8_t extra_count = 0;
  uint8_t extra_size = 0;
  uint8_t resolution_code = 0;  // 0: 100 dpi, 1: 200 dpi, other: 400 dpi
  int32_t data_length = 0;      // bytes of coded data after the header
  // The text at byte 9 up to its NUL (or byte 89), as stored: the fax
  // software's header line, often the sender's station and the subject.
  std::string text;

  static WinFaxPageHeader Parse(std::span<const uint8_t, kSize> bytes);

  // Offset of the next header, or -1 when the link fields do not give an
  // offset a file can hold (the sum overflows 32 bits or is negative).
  int64_t NextHeaderOffset() const;
  bool IsGroup4() const { return coding_flag != 0; }
  uint16_t VerticalResolution() const;
  // |text| for people and other programs: see HeaderTextUtf8.
  std::string TextUtf8() const;
};

// A header's text as stored (Windows-1252, the code page of the software
// that writes these files) in UTF-8, with control bytes escaped as the
// program shows them everywhere ("\x1b", "\r"), so that the text can
// neither forge a line of a report nor drive a terminal. The five bytes
// Windows-1252 leaves undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) would decode
// to C1 control characters, which terminals act on as well: they are
// escaped the same way ("\x9d").
std::string HeaderTextUtf8(std::string_view stored);

class WinFaxReader : public FileReader {
 public:
  static constexpr uint16_t kHorizontalResolution = 200;

  WinFaxReader() = default;
  ~WinFaxReader() override;

  // -1 when no file is open, 0 when the header at |offset| carries the
  // signature, -2 otherwise. Bytes beyond the end of the file read as 0.
  int ReadHeaderAt(int64_t offset);

  // Walks the chain from offset 0 and records each page's offset; closes
  // the file when there is none. Returns the page count: at most kMaxPages
  // are kept (a hostile file cannot make the table grow), but the walk goes
  // on counting the pages after them (see ChainedPages).
  uint16_t CountPages();
  // The pages of the chain CountPages walked, the ones past kMaxPages
  // included, so that a longer fax is known to be cut short. The count
  // follows only links that lead further into the file past the kept pages
  // (no visited table there) and stops at kMostPagesCounted.
  int ChainedPages() const { return chained_pages_; }
  static constexpr int kMostPagesCounted = 65535;

  // Reads page |index|'s header (with its defaults applied) and coded data:
  // |data_length| bytes, but never more than the page's rows can need
  // (MaxCodedBytes) and none when they overlap another page's data.
  // -1 when no file is open or there is no such page, else 0.
  int ReadPage(int index);

  // Reads page |index| and decodes it into |page| with the decoder its
  // coding flag names. Leaves |page| alone when no file is open, and empties
  // it when there is no such page.
  void DecodePage(int index, FaxPage& page);

  // The header text of page |index| (see HeaderTextUtf8); "" when there is
  // no such page. Reads that page's header alone and leaves the header and
  // the resolutions of the page read last as they were.
  std::string PageText(int index) const;

  // The header read last, and the resolutions of the page read last.
  const WinFaxPageHeader& Header() const { return header_; }
  uint16_t HorizontalResolution() const { return x_resolution_; }
  uint16_t VerticalResolution() const { return y_resolution_; }

 private:
  void ApplyDefaults(int64_t offset);
  // Counts the pages that follow the last kept one, at |offset|.
  void CountPagesBeyond(int64_t offset);

  WinFaxPageHeader header_;
  uint16_t x_resolution_ = 0;
  uint16_t y_resolution_ = 0;
  int32_t rows_to_decode_ = 0;  // the header's lines, cut to the largest page
  int chained_pages_ = 0;
};

}  // namespace tamarind
