// A quantised block as the symbols its entropy coding spends (JPEG Annex
// F.1.2): the DC value, whose difference to the previous block's is coded
// where the block stands, and the AC run/size symbols with their extra
// bits, which depend on the block alone.
#pragma once

#include <array>
#include <bit>
#include <cstdint>

#include "codec/jpeg/islow_fdct.h"

namespace tamarind {

// symbol << 16 | extra bits; the symbol's low four bits count the extra
// bits (0 for end-of-block 0x00 and the run of sixteen zeros 0xF0).
using AcToken = uint32_t;

inline constexpr uint8_t AcSymbol(AcToken token) { return static_cast<uint8_t>(token >> 16); }
inline constexpr uint32_t AcExtraBits(AcToken token) { return token & 0xFFFF; }

// A block's 63 AC coefficients need at most 63 symbols: a run of sixteen
// zeros or an end-of-block always stands for at least one zero.
inline constexpr int kMaxAcTokens = 63;

struct BlockSymbols {
  int16_t dc = 0;
  uint8_t count = 0;
  std::array<AcToken, kMaxAcTokens> ac;
};

BlockSymbols SymbolsOf(const CoefficientBlock& block);

// The size category of a value (bits of its magnitude) and the bits that
// follow its symbol: the value itself, or for a negative one its one's
// complement, in that many bits.
inline int SizeOf(int32_t value) { return std::bit_width(static_cast<uint32_t>(value < 0 ? -value : value)); }
inline uint32_t ExtraBits(int32_t value, int size) {
  return static_cast<uint32_t>(value < 0 ? value - 1 : value) & ((uint32_t{1} << size) - 1);
}

}  // namespace tamarind
