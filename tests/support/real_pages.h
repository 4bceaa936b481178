// Real fax pages for tests and benchmarks: a man page rendered by groff and
// Ghostscript, a dithered halftone and a wide page, coded by independent
// encoders (Ghostscript's fax devices, netpbm's pbmtog3, ImageMagick's
// GROUP4 writer) and decoded by independent decoders (netpbm's g3topbm,
// libtiff's fax2tiff) to give the reference bitmaps.
//
// The pages are made once per build tree and cached under
// <build>/testdata/, so only the first test run pays for them.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "codec/fax/fax_page.h"
#include "tools/winfax_writer.h"

namespace tamarind::test {

// A one-bit bitmap in PBM convention: 1 = black, most significant bit
// leftmost, rows padded to whole bytes.
struct Bitmap {
  int32_t width = 0;
  int32_t height = 0;
  int32_t bytes_per_row = 0;
  std::vector<uint8_t> rows;

  std::span<const uint8_t> Row(int32_t y) const {
    return std::span<const uint8_t>(rows).subspan(static_cast<size_t>(y) * static_cast<size_t>(bytes_per_row),
                                                  static_cast<size_t>(bytes_per_row));
  }
  bool IsBlack(int32_t x, int32_t y) const { return (Row(y)[static_cast<size_t>(x / 8)] >> (7 - x % 8)) & 1; }
};

// Shell lines that set the real document the test pages come from (the
// groff manual page, or the GPL where it is missing) as PostScript into
// doc.ps, in the current folder.
extern const char* const kMakeDocumentScript;

// The folder <build>/testdata/|name|-<hash of |script|>, made on first use
// by running the shell |script| in it. It is made in a private folder and
// renamed into place, so test programs started in parallel never see a
// half-made one. Throws std::runtime_error when the script fails.
std::string CachedTestData(const std::string& name, const std::string& script);

// Reads a raw (P4) PBM file; throws std::runtime_error on anything else.
Bitmap ReadPbm(const std::string& path);

enum class PageCoding { kGroup3, kGroup4 };

struct RealPage {
  std::string name;  // e.g. "text-standard-g3"
  PageCoding coding = PageCoding::kGroup3;
  int32_t width = 0;
  bool fine = false;           // 204x196 dpi; otherwise 204x98
  std::vector<uint8_t> coded;  // first coded bit in the most significant bit
  Bitmap reference;            // the independent decoder's bitmap
};

// Every real page, made on first use (a few seconds) or read from the cache.
// Throws std::runtime_error when the tools fail.
const std::vector<RealPage>& RealPages();
// The page called |name|; throws std::out_of_range when there is none.
const RealPage& RealPageNamed(std::string_view name);

// True when row |page_row| of |page| (1 = white) shows the same pixels as row
// |ref_row| of |reference| (1 = black). Padding bits past the width are
// ignored.
bool SameRow(const Bitmap& reference, int32_t ref_row, const FaxPage& page, int32_t page_row);
bool IsWhiteRow(const Bitmap& reference, int32_t row);
bool IsWhiteRow(const FaxPage& page, int32_t row);

// Compares |page| with |reference| row for row. The rows both hold must be
// equal; the rows only one of them holds must be white (independent decoders
// pad with white rows, and encoders may stop at the last black pixel).
::testing::AssertionResult MatchesReference(const Bitmap& reference, const FaxPage& page);

// Whether |page| as a viewer must show it at 1:1 is black at (x, y): the
// reference with square pixels (standard rows twice), turned clockwise
// |turns| quarter turns, |width| x |height| as shown. Rows past the
// reference are white, as the decoder pads.
bool ShownBlack(const RealPage& page, int turns, int x, int y, int width, int height);

// The FaxPage form of a PBM-convention bitmap (1 = white), for comparing two
// bitmaps with the functions above.
FaxPage ToFaxPage(const Bitmap& bitmap);

}  // namespace tamarind::test
