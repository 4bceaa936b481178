// A quantised block as the symbols its entropy coding spends (JPEG Annex
// F.1.2): after the DC difference, the AC coefficients in zigzag order as
// run/size symbols (0xF0 for sixteen zeros, 0x00 for the end of the block)
// each followed by its extra bits.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "codec/jpeg/islow_fdct.h"
#include "codec/jpeg/jpeg_tables.h"

namespace tamarind {

inline constexpr uint8_t kEndOfBlock = 0x00;
inline constexpr uint8_t kSixteenZeros = 0xF0;
// A block has at most 63 AC symbols (each stands for one coefficient at
// least), each coded in at most 16 + 10 bits.
inline constexpr size_t kMaxAcCodeWords = (63 * 26 + 31) / 32;

// The size category of a value (bits of its magnitude) and the bits that
// follow its symbol: the value itself, or for a negative one its one's
// complement, in that many bits.
inline int SizeOf(int32_t value) {
  return static_cast<int>(std::bit_width(static_cast<uint32_t>(value < 0 ? -value : value)));
}
inline uint32_t ExtraBits(int32_t value, int size) {
  return static_cast<uint32_t>(value < 0 ? value - 1 : value) & ((uint32_t{1} << size) - 1);
}

// What the AC symbols of a block are made of, worked out for all 64
// coefficients at once: each one's size category and extra bits
// (row-major), and which are not zero, as bit k for the k-th in zigzag
// order.
struct AcParts {
  std::array<uint32_t, 64> size;
  std::array<uint32_t, 64> extra;
  uint64_t zigzagNonzero;
};

// The parts of a bilevel block (see BilevelForwardDct): its transform,
// quantisation and symbol parts in one vector pass.
AcParts BilevelAcParts(uint64_t pattern, const BlockQuantiser& quantiser);

// Calls symbol(symbolByte, extraBits) for each AC symbol of a block, in
// coding order; the extra bits are the symbol's low four bits long. Only
// the coefficients that are not zero are visited.
template <typename Visit>
void ForEachAcSymbol(const AcParts& parts, Visit&& symbol) {
  uint64_t nonzero = parts.zigzagNonzero & ~uint64_t{1};  // the DC is coded apart
  int last = 0;
  while (nonzero != 0) {
    const int k = std::countr_zero(nonzero);
    nonzero &= nonzero - 1;
    int run = k - last - 1;
    if (run > 15) [[unlikely]] {
      for (; run > 15; run -= 16) symbol(kSixteenZeros, 0);
    }
    const uint8_t at = kNaturalOrder[k];
    symbol(static_cast<uint8_t>(run << 4 | parts.size[at]), parts.extra[at]);
    last = k;
  }
  if (last < 63) symbol(kEndOfBlock, 0);
}

}  // namespace tamarind
