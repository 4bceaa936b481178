#include "codec/jpeg/block_symbols.h"

#include <array>

#include <cstring>
#include "codec/jpeg/block_kernels.h"
#include "codec/jpeg/vector_clones.h"

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
    const __m128i bytes =
        _mm_packs_epi16(_mm_packs_epi32(load(i), load(i + 4)), _mm_packs_epi32(load(i + 8), load(i + 12)));
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

// The hot path of the encoder: everything from a bilevel block's row pass
// to its symbol parts in one function, so that the values stay close.
TAMARIND_VECTOR_CLONES void ToSymbolParts(const int32_t* const* rows, const uint32_t* __restrict reciprocal,
                                          const uint32_t* __restrict correction, const uint32_t* __restrict shift,
                                          uint32_t* __restrict size, uint32_t* __restrict extra) {
  int32_t dct[64];
  int32_t values[64];
  block_kernels::ColumnPass(rows, dct);
  block_kernels::QuantiseInto(dct, reciprocal, correction, shift, values);
  block_kernels::SizesAndExtrasInto(values, size, extra);
}

}  // namespace

AcParts BilevelAcParts(uint64_t pattern, const BlockQuantiser& quantiser) {
  const int32_t* rows[8];
  BilevelRowPass(pattern, rows);
  AcParts parts;
  ToSymbolParts(rows, quantiser.Reciprocals(), quantiser.Corrections(), quantiser.Shifts(), parts.size.data(),
                parts.extra.data());
  const uint64_t natural = NaturalNonzero(parts.size);
  parts.zigzagNonzero = 0;
  for (int row = 0; row < 8; ++row) parts.zigzagNonzero |= kRowBits[row][(natural >> (8 * row)) & 0xFF];
  return parts;
}

}  // namespace tamarind
