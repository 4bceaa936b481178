#include "codec/pdf/page_box.h"

#include <cstdio>

namespace tamarind::pdf_internal {

std::string PageSide(int32_t pixels, uint16_t perInch, int64_t unit) {
  constexpr int64_t kMillion = 1'000'000;
  const int64_t millionths = (int64_t{pixels} * 72 * kMillion - 1) / (int64_t{perInch} * unit);
  char fraction[8];
  std::snprintf(fraction, sizeof fraction, "%06lld", static_cast<long long>(millionths % kMillion));
  std::string text = std::to_string(millionths / kMillion) + "." + fraction;
  while (text.back() == '0') text.pop_back();
  if (text.back() == '.') text.pop_back();
  return text;
}

}  // namespace tamarind::pdf_internal
