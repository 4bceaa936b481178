// The tables a greyscale JPEG is written with, taken from libjpeg itself so
// that a file of ours matches the library's byte for byte: the quantisation
// table libjpeg builds for a quality (its scaling, its clamping, its choice
// between 8- and 16-bit entries), and the standard Huffman tables it writes
// when the tables are not optimised.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace tamarind {

// Block positions in the order the coefficients are coded (the zigzag):
// kNaturalOrder[k] is the row-major index of the k-th coded coefficient.
inline constexpr std::array<uint8_t, 64> kNaturalOrder = {
    0,  1,  8,  16, 9,  2,  3,  10, 17, 24, 32, 25, 18, 11, 4,  5,  12, 19, 26, 33, 40, 48,
    41, 34, 27, 20, 13, 6,  7,  14, 21, 28, 35, 42, 49, 56, 57, 50, 43, 36, 29, 22, 15, 23,
    30, 37, 44, 51, 58, 59, 52, 45, 38, 31, 39, 46, 53, 60, 61, 54, 47, 55, 62, 63};

struct QuantTable {
  std::array<uint16_t, 64> natural{};  // row-major, 1..32767

  // libjpeg writes a table with an entry above 255 with 16-bit entries, and
  // the frame as extended sequential (SOF1) instead of baseline.
  bool SixteenBit() const;
};

// A Huffman table as a DHT segment carries it: bits[n] symbols of code
// length n (bits[0] unused), then the symbols in code order.
struct HuffmanTable {
  std::array<uint8_t, 17> bits{};
  std::vector<uint8_t> values;

  bool operator==(const HuffmanTable&) const = default;
};

struct GreyscaleTables {
  QuantTable quant;
  HuffmanTable standardDc;  // table 0, as libjpeg's defaults set it
  HuffmanTable standardAc;
};

// The tables libjpeg uses for a greyscale image at |quality| (clamped to
// 1..100 by the library, force_baseline off, as the program's JPEG stage
// calls it). Null only when the library cannot even allocate its
// compressor.
std::optional<GreyscaleTables> LibjpegGreyscaleTables(int quality);

}  // namespace tamarind
