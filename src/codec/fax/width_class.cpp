#include "codec/fax/width_class.h"

namespace tamarind {

WidthClassInfo WidthClass(int32_t width) {
  struct Row {
    int32_t up_to;
    WidthClassInfo info;
  };
  // Ordered by bound: the first row not exceeded applies, which puts 3457
  // to 3648 at 300 dpi.
  static constexpr Row kRows[] = {
      {1728, {200, 1}}, {2048, {200, 2}}, {2432, {200, 3}}, {2592, {300, 1}}, {3072, {300, 2}},
      {3456, {400, 1}}, {3648, {300, 3}}, {4096, {400, 2}}, {4864, {400, 3}},
  };
  for (const Row& row : kRows)
    if (width <= row.up_to) return row.info;
  return {400, 3};
}

}  // namespace tamarind
