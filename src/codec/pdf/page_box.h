// Page boxes that hold a page's pixels exactly.
#pragma once

#include <cstdint>
#include <string>

namespace tamarind::pdf_internal {

// A page side of |pixels| at |perInch|, in user-space units of |unit|
// points, as the text a reader parses: the largest multiple of a millionth
// below the exact length, found in whole numbers (so no rounding of binary
// fractions comes into it). Readers size a page's raster as the side times
// the resolution, rounded up (poppler) or to the nearest (Ghostscript), and
// so get the page's pixels exactly; the exact length, or one rounded up,
// can give a pixel more, and an image drawn over it a column more. Short
// by at least a hundred-millionth of a pixel, the product stays below the
// whole number in double arithmetic too.
std::string PageSide(int32_t pixels, uint16_t perInch, int64_t unit);

}  // namespace tamarind::pdf_internal
