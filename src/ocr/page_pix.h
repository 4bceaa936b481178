// A fax page as the image Tesseract reads: a Leptonica 1-bit Pix.
#pragma once

#include <cstdint>
#include <memory>

#include "codec/fax/fax_page.h"
#include "ocr/ocr_engine.h"

struct Pix;

namespace tamarind::ocr {

struct PixDeleter {
  void operator()(Pix* pix) const;
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

// How a page's rows become the rows of the image that is recognised: image
// row y shows page row floor(y * page_rows / image_rows). With at least as
// many image rows as page rows, every page row is shown once or more and
// the repeats are spread evenly down the page: twice each for 2 x rows,
// and for 51 image rows per 49 page rows two rows in every 49 twice.
struct RowScale {
  int32_t page_rows = 0;
  int32_t image_rows = 0;  // at least page_rows

  static constexpr RowScale Repeat(int32_t page_rows, int32_t times) { return {page_rows, page_rows * times}; }

  constexpr int32_t PageRow(int32_t image_row) const {
    return static_cast<int32_t>(int64_t{image_row} * page_rows / image_rows);
  }
};

// The rows |page| is recognised with (see OcrEngine, Resolution): as many
// an inch as it has pixels across, or its rows repeated as every output
// repeats them where those are as many or more (superfine) or the squared
// image would be over |most_pixels|.
RowScale RecognisedRows(const FaxPage& page, int64_t most_pixels);

// |page| with its rows scaled by |rows| (rows.page_rows must be
// page.height), or null when Leptonica cannot allocate it. The page must
// hold |page.height| rows of |page.bytes_per_row| bytes; bits past the
// width are ignored.
//
// The page has 1 = white with the leftmost pixel in each byte's most
// significant bit. A 1-bit Pix has 1 = black, rows of 32-bit words in the
// machine's byte order, the leftmost pixel in each word's most significant
// bit, and must be 0 past the width (Leptonica's rasterops read those bits).
PixPtr PixOfPage(const FaxPage& page, RowScale rows);

// |pix| turned by 180 degrees, or null when Leptonica cannot allocate it.
PixPtr Rotated180(const Pix& pix);

// The box |found| in |recognised| (the page's Pix, turned by 180 degrees
// when |turned|) as a box of the stored page's pixels: the smallest that
// holds every page row and column the box's pixels show, so a word's ink is
// never cut off by a row.
PixelBox BoxOnPage(const Pix& recognised, const PixelBox& found, RowScale rows, bool turned);

}  // namespace tamarind::ocr
