// Paints runs of pixels into one bitmap row, left to right.
#pragma once

#include <cstdint>
#include <cstring>

namespace tamarind {

struct RowCursor {
  int32_t byte_index = 0;
  int32_t row_length = 0;  // bytes
  uint8_t bit_index = 0;   // 0..7, counted from the most significant bit
  uint8_t* row = nullptr;

  void Start(uint8_t* row_bytes, int32_t length) {
    row = row_bytes;
    row_length = length;
    byte_index = 0;
    bit_index = 0;
  }
};

// Writes a run of |n| pixels at the cursor: 1 bits, or nothing at all when
// |skip| (the row was cleared to 0 before). A run that reaches the row end
// is cut there and returns -1, as does a run starting at or past it; a run
// of negative length (only corrupt data makes one) paints nothing and leaves
// the cursor. 0 otherwise.
// Sets |count| bytes to 0xFF. Most white runs of text cover a few bytes,
// where a call to memset costs more than the stores.
inline void FillOnes(uint8_t* bytes, int32_t count) {
  if (count > 16) {
    std::memset(bytes, 0xFF, static_cast<size_t>(count));
  } else if (count >= 8) {
    constexpr uint64_t kOnes = ~uint64_t{0};
    std::memcpy(bytes, &kOnes, 8);
    std::memcpy(bytes + count - 8, &kOnes, 8);  // overlaps the first store
  } else {
    for (int32_t i = 0; i < count; ++i) bytes[i] = 0xFF;
  }
}

inline int PaintRun(RowCursor& cursor, int64_t n, bool skip) {
  if (cursor.byte_index >= cursor.row_length) return -1;
  if (n <= 0) return 0;
  // Unsigned from here: every quantity is known to be positive.
  uint64_t start = static_cast<uint64_t>(cursor.byte_index) * 8 + cursor.bit_index;
  uint64_t row_bits = static_cast<uint64_t>(cursor.row_length) * 8;
  uint64_t end = start + static_cast<uint64_t>(n);
  bool cut = end >= row_bits;
  if (cut) end = row_bits;
  uint32_t end_byte = static_cast<uint32_t>(end >> 3);
  unsigned end_bit = static_cast<unsigned>(end & 7);
  if (!skip) {
    uint8_t* row = cursor.row;
    uint32_t start_byte = static_cast<uint32_t>(cursor.byte_index);
    if (end_byte == start_byte) {
      row[end_byte] |= static_cast<uint8_t>((0xFFu >> cursor.bit_index) & ~(0xFFu >> end_bit));
    } else {
      row[start_byte] |= static_cast<uint8_t>(0xFFu >> cursor.bit_index);
      FillOnes(row + start_byte + 1, static_cast<int32_t>(end_byte - start_byte - 1));
      if (end_bit) row[end_byte] = static_cast<uint8_t>(0xFFu << (8 - end_bit));
    }
  }
  cursor.byte_index = static_cast<int32_t>(end_byte);
  cursor.bit_index = static_cast<uint8_t>(end_bit);
  return cut ? -1 : 0;
}

}  // namespace tamarind
