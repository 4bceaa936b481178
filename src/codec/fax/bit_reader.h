// The cursor over a page's coded bytes, shared by the Group 3 and Group 4
// decoders. It hands out bits most significant bit first from each byte
// after bit-order mapping, and keeps the byte-level state (current byte,
// position, bits taken) that resynchronisation works on.
#pragma once

#include <array>
#include <cstdint>
#include <span>

namespace tamarind {

// Entry i is i with its eight bits in reverse order.
extern const std::array<uint8_t, 256> BitReversalTable;

// Fetch results below zero.
inline constexpr int kFetchNoData = -1;
inline constexpr int kFetchBeforeStart = -2;
inline constexpr int kFetchPastEnd = -3;

struct FaxBitReader {
  const uint8_t* data = nullptr;
  int32_t length = 0;
  int32_t position = 0;
  int16_t current = kFetchNoData;  // mapped byte at |position|, or a fetch error
  uint8_t bit_order = 1;           // 1: bytes as stored; else reversed
  uint8_t bit_offset = 0;          // bits of |current| already taken, 0..8

  // Points the reader at |bytes| (at most 2^31 - 1 of them are used) and
  // fetches the first byte.
  void Reset(std::span<const uint8_t> bytes);

  // The byte at |position| (after moving one on when |advance|), mapped by
  // the bit order; a negative code when there is none. Callers store the
  // result in |current|.
  int Fetch(bool advance);

  // The next |n| bits (1..8), first bit highest; a negative fetch code when
  // the data ends (from then on every call returns it).
  int ReadBits(int n);

  // Gives back the last |n| bits (n <= 8) taken.
  void UnreadBits(int n);
};

// Searches forward from the current byte for an EOL (eleven or more zero
// bits and a 1) and leaves the reader just behind its 1 bit. 0 when found,
// else the failed fetch code.
int FindEol(FaxBitReader& reader);

}  // namespace tamarind
