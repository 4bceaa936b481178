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

// Bit i set when coefficient i (row-major) has a size, that is, is not
// zero.
uint64_t NaturalNonzero(const std::array<uint32_t, 64>& size) {
#if defined(__SSE2__)
  const __m128i zero = _mm_setzero_si128();
  uint64_t mask = 0;
  for (int i = 0; i < 64; i += 16) {
    auto load = [&](int at) { return _mm_loadu_si128(reinterpret_cast<const __m128i*>(&size[at])); };
    // Sizes are at most 11, so the narrowing packs keep them.
    const __m128i bytes = _mm_packs_epi16(_mm_packs_epi32(load(i), load(i + 4)), _mm_packs_epi32(load(i + 8), load(i + 12)));
    const auto zeros = static_cast<uint16_t>(_mm_movemask_epi8(_mm_cmpeq_epi8(bytes, zero)));
    mask |= static_cast<uint64_t>(static_cast<uint16_t>(~zeros)) << i;
  }
  return mask;
#else
  uint64_t mask = 0;
  for (int i = 0; i < 64; ++i) mask |= static_cast<uint64_t>(size[i] != 0) << i;
  return mask;
#endif
}

// The size category from the exponent of the magnitude as a float (exact
// up to 2^24): 2^(e-127) <= m < 2^(e-126), so the bit width is e - 126;
// zero gives e = 0 and is clamped to size 0.
TAMARIND_VECTOR_CLONES void SizesAndExtras(const int32_t* __restrict values, uint32_t* __restrict size,
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

AcParts AcPartsOf(const QuantisedBlock& block) {
  AcParts parts;
  SizesAndExtras(block.data(), parts.size.data(), parts.extra.data());
  const uint64_t natural = NaturalNonzero(parts.size);
  parts.zigzagNonzero = 0;
  for (int row = 0; row < 8; ++row) parts.zigzagNonzero |= kRowBits[row][(natural >> (8 * row)) & 0xFF];
  return parts;
}

}  // namespace tamarind
