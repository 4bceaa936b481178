// Splits a fuzzer input into page geometry, bit order and coded data:
// bytes 0-1 width (1..4096), byte 2 lines (1..512), byte 3 bit 0 bit order,
// bit 1 invert; the rest is coded data. Sizes are capped so runs stay fast.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <span>

#include "codec/fax/fax_page.h"
#include "codec/fax/g3_decoder.h"

namespace tamarind::fuzz {

struct FuzzInput {
  int32_t width = 0;
  int32_t lines = 0;
  uint8_t bit_order = MsbFirst;
  uint8_t invert = 0;
  std::span<const uint8_t> coded;
};

inline bool SplitInput(const uint8_t* data, size_t size, FuzzInput& input) {
  if (size < 4) return false;
  input.width = 1 + ((data[0] | (data[1] << 8)) % 4096);
  input.lines = 1 + data[2] * 2;
  input.bit_order = (data[3] & 1) ? LsbFirst : MsbFirst;
  input.invert = (data[3] >> 1) & 1;
  input.coded = std::span<const uint8_t>(data + 4, size - 4);
  return true;
}

// What every decode must leave, whatever the data.
inline void CheckPage(const FaxPage& page, const FuzzInput& input) {
  if (page.height < 0 || page.height > input.lines) abort();
  if (page.width != input.width) abort();
  if (page.bits.size() != static_cast<size_t>(page.height) * static_cast<size_t>(page.bytes_per_row)) abort();
}

}  // namespace tamarind::fuzz
