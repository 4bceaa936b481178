#include "codec/pdf/flate.h"

#include <zlib.h>

#include <new>

namespace tamarind::pdf_internal {

std::vector<uint8_t> Deflate(std::span<const uint8_t> data) {
  uLongf length = compressBound(static_cast<uLong>(data.size()));
  std::vector<uint8_t> out;
  try {
    out.resize(length);
  } catch (const std::bad_alloc&) {
    return {};
  }
  if (compress2(out.data(), &length, data.data(), static_cast<uLong>(data.size()), Z_BEST_COMPRESSION) != Z_OK)
    return {};
  out.resize(length);
  return out;
}

}  // namespace tamarind::pdf_internal
