#include "codec/fax/page_resolution.h"

namespace tamarind {

namespace {

uint16_t HorizontalDpi(int32_t width) {
  switch (width) {
    case 2592:
    case 3072:
    case 3648: return 300;
    case 3456:
    case 4096:
    case 4864: return 408;
    default:  // 1728, 2048, 2432 and widths of no standard
      return 204;
  }
}

uint16_t VerticalLpi(uint16_t y_resolution) {
  if (y_resolution <= 100) return 98;
  if (y_resolution <= 200) return 196;
  return 391;
}

}  // namespace

PageResolution TruePageResolution(int32_t width, uint16_t y_resolution) {
  return {HorizontalDpi(width), VerticalLpi(y_resolution)};
}

}  // namespace tamarind
