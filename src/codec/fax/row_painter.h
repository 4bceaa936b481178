// Paints runs of pixels into one bitmap row, left to right.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>
#include <span>

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

namespace row_painter_detail {

inline constexpr uint64_t kAllPixels = ~uint64_t{0};

// Stores a word of 64 pixels (first pixel in the highest bit) as eight
// bytes, first pixel in the most significant bit of the first byte.
inline void StoreWord(uint8_t* out, uint64_t word, size_t bytes = 8) {
  if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
  std::memcpy(out, &word, bytes);
}

// Stores |word| at |out| and then |fill| words up to |row_end|; the last
// word may be cut to the bytes left.
inline void FinishRow(uint8_t* out, const uint8_t* row_end, uint64_t word, uint64_t fill) {
  for (; row_end - out >= 8; out += 8) {
    StoreWord(out, word);
    word = fill;
  }
  if (out < row_end) StoreWord(out, word, static_cast<size_t>(row_end - out));
}

}  // namespace row_painter_detail

// Writes the whole row from |runs|, alternately painted (1 bits) and not
// (0 bits) starting with a painted run when |first_painted|, then 0 bits to
// the row end. The same pixels as PaintRun over each run in turn on a
// cleared row (runs cut at the row end), but every byte is written, so the
// row needs no clearing. Returns the pixel where the runs end, capped at the
// row end: where a cursor would stand after them.
//
// Pixels gather in a 64-bit word. From the last change on, the word holds
// the colour of the run being painted, so the end of a run only flips the
// word from that pixel on; whole words are stored as a run passes them.
inline uint64_t PaintRow(uint8_t* row, int32_t row_length, std::span<const int32_t> runs, bool first_painted) {
  using namespace row_painter_detail;
  const uint64_t row_bits = static_cast<uint64_t>(row_length) * 8;
  const uint8_t* row_end = row + row_length;
  uint8_t* out = row;                                // where |word| goes
  uint64_t colour = first_painted ? kAllPixels : 0;  // of the run being painted
  uint64_t word = colour;
  uint64_t word_end = 64;  // pixel just past |word|
  uint64_t limit = std::min(word_end, row_bits);
  uint64_t pos = 0;
  for (int32_t run : runs) {
    pos += static_cast<uint64_t>(run);  // runs are never negative
    if (pos >= limit) [[unlikely]] {
      if (pos >= row_bits) {  // this run fills the rest of the row
        FinishRow(out, row_end, word, colour);
        return row_bits;
      }
      StoreWord(out, word);
      for (out += 8, word_end += 64; word_end <= pos; out += 8, word_end += 64) StoreWord(out, colour);
      word = colour;
      limit = std::min(word_end, row_bits);
    }
    word ^= kAllPixels >> (pos % 64);
    colour = ~colour;
  }
  word &= ~(kAllPixels >> (pos % 64));  // nothing painted past the runs
  FinishRow(out, row_end, word, 0);
  return pos;
}

}  // namespace tamarind
