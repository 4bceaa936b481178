// The horizontal resolution and paper-width class a line width implies.
#pragma once

#include <cstdint>

namespace tamarind {

struct WidthClassInfo {
  uint16_t resolution;  // dots per inch
  uint8_t width_class;  // 1, 2 or 3
};

WidthClassInfo WidthClass(int32_t width);

}  // namespace tamarind
