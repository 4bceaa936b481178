#include "codec/jpeg/block_symbols.h"

#include <array>
#include <cstring>

#include "codec/jpeg/vector_clones.h"

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace tamarind {

namespace {

// For each row of the block and each set of its nonzero columns, their
// bits in zigzag order: eight lookups turn a row-major mask into a zigzag
// one.
using RowBits = std::array<std::array<uint64_t, 256>, 8>;

constexpr RowBits MakeRowBits() {
  std::array<int, 64> zigzagOf{};
  for (int k = 0; k < 64; ++k) zigzagOf[kNaturalOrder[k]] = k;
  RowBits table{};
  for (int row = 0; row < 8; ++row) {
    for (int columns = 0; columns < 256; ++columns) {
      uint64_t bits = 0;
      for (int column = 0; column < 8; ++column)
        if (columns & (1 << column)) bits |= uint64_t{1} << zigzagOf[8 * row + column];
      table[row][columns] = bits;
    }
  }
  return table;
}

constexpr RowBits kRowBits = MakeRowBits();

// Bit i set when coefficient i (row-major) is not zero.
uint64_t NaturalNonzero(const CoefficientBlock& block) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  uint64_t mask = 0;
  for (int i = 0; i < 64; i += 16) {
    const __m128i low = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&block[i]));
    const __m128i high = _mm_loadu_si128(reinterpret_cast<const __m128i*>(&block[i + 8]));
    const __m128i isZero = _mm_packs_epi16(_mm_cmpeq_epi16(low, zero), _mm_cmpeq_epi16(high, zero));
    mask |= static_cast<uint64_t>(static_cast<uint16_t>(~_mm_movemask_epi8(isZero))) << i;
  }
  return mask;
#else
  uint64_t mask = 0;
  for (int i = 0; i < 64; ++i) mask |= static_cast<uint64_t>(block[i] != 0) << i;
  return mask;
#endif
}

// Bit k set when the k-th coefficient in zigzag order is not zero.
uint64_t ZigzagNonzero(const CoefficientBlock& block) {
  const uint64_t natural = NaturalNonzero(block);
  uint64_t zigzag = 0;
  for (int row = 0; row < 8; ++row) zigzag |= kRowBits[row][(natural >> (8 * row)) & 0xFF];
  return zigzag;
}

// The size category from the exponent of the magnitude as a float (exact
// up to 2^24): 2^(e-127) <= m < 2^(e-126), so the bit width is e - 126;
// zero gives e = 0 and is clamped to size 0.
TAMARIND_VECTOR_CLONES void SizesAndExtras(const int16_t* __restrict values, uint32_t* __restrict size,
                                           uint32_t* __restrict extra) {
  for (int i = 0; i < 64; ++i) {
    const int32_t value = values[i];
    const int32_t sign = value >> 31;
    const float magnitude = static_cast<float>((value ^ sign) - sign);
    int32_t bits;
    std::memcpy(&bits, &magnitude, sizeof bits);
    const int32_t width = (bits >> 23) - 126;
    const uint32_t s = static_cast<uint32_t>(width > 0 ? width : 0);
    size[i] = s;
    extra[i] = static_cast<uint32_t>(value + sign) & ((uint32_t{1} << s) - 1);
  }
}

}  // namespace

AcParts AcPartsOf(const CoefficientBlock& block) {
  AcParts parts;
  SizesAndExtras(block.data(), parts.size.data(), parts.extra.data());
  parts.zigzagNonzero = ZigzagNonzero(block);
  return parts;
}

}  // namespace tamarind
