// A fax page as the image Tesseract reads: a Leptonica 1-bit Pix.
#pragma once

#include <memory>

#include "codec/fax/fax_page.h"
#include "ocr/ocr_engine.h"

struct Pix;

namespace tamarind::ocr {

struct PixDeleter {
  void operator()(Pix* pix) const;
};
using PixPtr = std::unique_ptr<Pix, PixDeleter>;

// |page| with each row repeated |row_repeat| times, or null when Leptonica
// cannot allocate it. The page must hold |page.height| rows of
// |page.bytes_per_row| bytes; bits past the width are ignored.
//
// The page has 1 = white with the leftmost pixel in each byte's most
// significant bit. A 1-bit Pix has 1 = black, rows of 32-bit words in the
// machine's byte order, the leftmost pixel in each word's most significant
// bit, and must be 0 past the width (Leptonica's rasterops read those bits).
PixPtr PixOfPage(const FaxPage& page, int row_repeat);

// |pix| turned by 180 degrees, or null when Leptonica cannot allocate it.
PixPtr Rotated180(const Pix& pix);

// The box |found| in |recognised| (the page's Pix, turned by 180 degrees
// when |turned|) as a box of the stored page's pixels: the smallest that
// holds every page pixel whose repeated rows the box touches, so a word's
// ink is never cut off by a row.
PixelBox BoxOnPage(const Pix& recognised, const PixelBox& found, int row_repeat, bool turned);

}  // namespace tamarind::ocr
