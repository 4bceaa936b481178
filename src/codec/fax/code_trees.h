// The Modified Huffman run-length codes (white and black) and the
// two-dimensional mode codes as byte trees, walked one or two bits per step.
//
// Entry encoding: bit 0 clear is an inner node (bit 1 set: take two more
// bits b and go to entry e - 2 + b; clear: take one bit b and go to e + b);
// bit 0 set is a leaf carrying v = e >> 2, a terminating run (bit 1 clear) or
// a make-up run of v * 64 (bit 1 set). 0xF3, 0xFF, 0xF7 and 0xFB are the
// special leaves below. Eleven or more zero bits and a 1 are an EOL; in a
// zero run of twelve or more the walk takes two bits per step, which is how
// it can take one bit past the EOL (0xF7, 0xFB) for the caller to give back.
//
// Beside each tree sits a lookup table giving, for the next 12 bits, the leaf
// the walk reaches and how many bits it takes, so the decoders resolve most
// codes in one step with results identical to the walk.
#pragma once

#include <array>
#include <cstdint>

#include "codec/fax/bit_reader.h"

namespace tamarind {

inline constexpr uint8_t kLeafInvalid = 0xF3;
inline constexpr uint8_t kLeafEol = 0xFF;
inline constexpr uint8_t kLeafEolTookOne = 0xF7;   // took a 1 past the EOL
inline constexpr uint8_t kLeafEolTookZero = 0xFB;  // took a 0 past the EOL

// Mode-code leaf values (leaf >> 2).
enum ModeCode : uint8_t {
  kModeV0 = 0,
  kModeVR1 = 1,
  kModeVR2 = 2,
  kModeVR3 = 3,
  kModeVL1 = 4,
  kModeVL2 = 5,
  kModeVL3 = 6,
  kModeHorizontal = 7,
  kModePass = 8,
  kModeExtension = 9,
};

inline constexpr int kLookupBits = 12;

struct CodeTree {
  uint8_t first_bits = 0;  // bits taken for the first index
  uint16_t size = 0;       // entries in use
  std::array<uint8_t, 256> nodes{};
  // For each 12-bit pattern: (bits taken << 8) | leaf, or 0 when the walk
  // needs more than 12 bits.
  std::array<uint16_t, 1 << kLookupBits> lookup{};
};

extern const CodeTree kWhiteTree;
extern const CodeTree kBlackTree;
extern const CodeTree kModeTree;

constexpr bool IsLeaf(uint8_t e) { return e & 1; }
constexpr bool IsEol(uint8_t leaf) { return leaf == kLeafEol || leaf == kLeafEolTookOne || leaf == kLeafEolTookZero; }
// EOL or invalid: the make-up values 60 to 63, which T.4 does not have.
constexpr bool IsSpecial(uint8_t leaf) { return (leaf & 0xF3) == 0xF3; }
constexpr bool IsMakeUp(uint8_t leaf) { return leaf & 2; }
constexpr int LeafValue(uint8_t leaf) { return leaf >> 2; }

// Walks |tree| one node at a time over |reader|: the leaf reached, or a
// negative fetch code when the data ends first.
int WalkTree(FaxBitReader& reader, const CodeTree& tree);

}  // namespace tamarind
