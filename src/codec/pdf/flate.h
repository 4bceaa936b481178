// Flate (zlib) coding of PDF streams.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tamarind::pdf_internal {

// |data| as a zlib stream for /FlateDecode, at a fixed level: the same
// data gives the same bytes every time (with the same zlib).
// Empty only when zlib could not get memory.
std::vector<uint8_t> Deflate(std::span<const uint8_t> data);

}  // namespace tamarind::pdf_internal
