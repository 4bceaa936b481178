#include "codec/pdf/flate.h"

#include <zlib.h>

#include <new>

namespace tamarind::pdf_internal {

namespace {

// zlib's usual level, fixed so that the bytes never change with a default:
// on a page's text layer its best level (9) saves about 1% more at two and
// a half times the time.
constexpr int kLevel = 6;

}  // namespace

std::vector<uint8_t> Deflate(std::span<const uint8_t> data) {
  uLongf length = compressBound(static_cast<uLong>(data.size()));
  std::vector<uint8_t> out;
  try {
    out.resize(length);
  } catch (const std::bad_alloc&) {
    return {};
  }
  if (compress2(out.data(), &length, data.data(), static_cast<uLong>(data.size()), kLevel) != Z_OK) return {};
  out.resize(length);
  return out;
}

}  // namespace tamarind::pdf_internal
