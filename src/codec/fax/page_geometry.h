// How a fax page becomes an image of square pixels, and whether that image
// fits what the outputs take. Every writer (BMP, JPEG, PDF, TIFF), the
// recogniser, the preview and the reader (which stops decoding a page that
// can no longer fit) measure a page here, so a fax gives the same pages in
// every format and a page refused by one is refused by all.
//
// Fax pages are 200 pixels per inch across and 100, 200 or 400 rows per
// inch down. Rows are repeated x / y times in whole rows, at least once: a
// standard page's rows twice, a fine page's once, and a superfine page
// keeps its rows (the JPEG then comes out twice as tall in proportion; the
// PDF and TIFF outputs carry the true resolution instead).
#pragma once

#include <algorithm>
#include <cstdint>

#include "codec/fax/fax_page.h"
#include "codec/fax/page_limits.h"

namespace tamarind {

class PageGeometry {
 public:
  constexpr PageGeometry(int64_t width, int64_t rows, uint16_t x_resolution, uint16_t y_resolution)
      : width_(width),
        rows_(rows),
        x_resolution_(x_resolution),
        y_resolution_(y_resolution),
        repeat_(y_resolution == 0 ? 1 : std::max<int64_t>(1, x_resolution / y_resolution)) {}
  explicit constexpr PageGeometry(const FaxPage& page)
      : PageGeometry(page.width, page.height, page.x_resolution, page.y_resolution) {}

  constexpr int64_t Width() const { return width_; }
  constexpr int64_t Rows() const { return rows_; }

  // Image rows per page row: 2 on a standard page, 1 on the others.
  constexpr int64_t RowRepeat() const { return repeat_; }
  // The image's rows once each page row is repeated.
  constexpr int64_t OutputHeight() const { return rows_ * repeat_; }
  // The height of one page row in square pixels, a fraction for superfine
  // rows (0.5): for a picture that shows the page at its true proportions
  // rather than repeating whole rows.
  constexpr double SquareRowHeight() const {
    return y_resolution_ == 0 ? 1.0 : static_cast<double>(x_resolution_) / y_resolution_;
  }

  constexpr bool Empty() const { return width_ <= 0 || rows_ <= 0; }
  // The image is at most kMaxPageDimension either way and kMaxPagePixels in
  // all. An empty page fits (whether it is wanted is the caller's call).
  constexpr bool FitsOutputLimits() const {
    const int64_t height = OutputHeight();
    return width_ >= 0 && rows_ >= 0 && width_ <= kMaxPageDimension && height <= kMaxPageDimension &&
           width_ * height <= kMaxPagePixels;
  }
  // The most page rows a page of this width and resolution may have and
  // still fit: a decoder need not go more than one row past it.
  constexpr int64_t MostRowsThatFit() const {
    if (width_ > kMaxPageDimension) return 0;
    return std::min(kMaxPageDimension / repeat_, kMaxPagePixels / (repeat_ * std::max<int64_t>(width_, 1)));
  }

 private:
  int64_t width_;
  int64_t rows_;
  uint16_t x_resolution_;
  uint16_t y_resolution_;
  int64_t repeat_;
};

// |page|'s bitmap holds the rows it claims: each row is bytes_per_row
// bytes, wide enough for |width| pixels, and there are |height| of them. A
// page that does not would be read past its end.
constexpr bool HoldsRows(const FaxPage& page) {
  if (page.width < 0 || page.height < 0 || page.bytes_per_row < 0) return false;
  return int64_t{page.bytes_per_row} >= (int64_t{page.width} + 7) / 8 &&
         static_cast<int64_t>(page.bits.size()) >= int64_t{page.height} * page.bytes_per_row;
}

}  // namespace tamarind
