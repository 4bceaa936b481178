// The resolution a fax page was really scanned at, which the archive
// formats record so that every viewer shows the page at its paper size.
//
// Fax resolutions are metric (8 pels per mm across, 3.85, 7.7 or 15.4
// lines per mm down); the page carries them rounded to whole dots per inch
// (200 across, 100, 200 or 400 down). Here they are given as the inch
// values that keep the paper size: an A4 page of 1728 pels at 204 dpi and
// 2286 fine lines at 196 lpi is 215 x 296 mm, as it was sent.
#pragma once

#include <cstdint>

#include "codec/fax/fax_page.h"

namespace tamarind {

struct PageResolution {
  uint16_t x_dpi = 0;  // pels per inch across
  uint16_t y_dpi = 0;  // lines per inch down
};

// 204 dpi across for the 8 pels/mm widths (1728, 2048, 2432), 300 for
// 2592, 3072 and 3648, 408 for the 16 pels/mm widths (3456, 4096, 4864)
// and 204 for any other width; 98, 196 or 391 lines per inch for the 100,
// 200 and 400 dpi vertical resolutions.
PageResolution TruePageResolution(int32_t width, uint16_t y_resolution);

inline PageResolution TruePageResolution(const FaxPage& page) {
  return TruePageResolution(page.width, page.y_resolution);
}

}  // namespace tamarind
