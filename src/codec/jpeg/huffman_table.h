// Huffman tables as libjpeg builds and uses them: symbol statistics, the
// optimal table of jpeg_gen_optimal_table (the JPEG standard's Annex K.2,
// with the library's own tie-breaking, its reserved all-ones code point and
// its 16-bit limit), and the code of each symbol.
#pragma once

#include <array>
#include <cstdint>
#include <optional>

#include "codec/jpeg/jpeg_tables.h"

namespace tamarind {

// How often each symbol (0..255) is coded. Counts are kept in 64 bits but
// must stay below 10^9 each for the table to come out as libjpeg's, which
// searches for the smallest count below that bound (a page of 2^27 pixels
// has 2^21 blocks, so no symbol comes near it).
using SymbolCounts = std::array<int64_t, 256>;

// The table libjpeg's optimised coding writes for |counts|. Null where the
// library gives up (a code over 32 bits before the 16-bit limit is
// applied: counts growing like the Fibonacci numbers over more than
// 2^21 occurrences) and for counts of 10^9 or more.
std::optional<HuffmanTable> OptimalHuffmanTable(const SymbolCounts& counts);

// The code of each symbol of a table (JPEG Annex C): |length| 0 for a
// symbol the table does not hold.
struct HuffmanCode {
  std::array<uint16_t, 256> code{};
  std::array<uint8_t, 256> length{};
};

// Null for a table that is no valid prefix code (too many symbols, codes
// that would run out of their length, a symbol listed twice).
std::optional<HuffmanCode> CodeOf(const HuffmanTable& table);

}  // namespace tamarind
