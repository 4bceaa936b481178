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

// Writes a row from left to right, 64 pixels at a time: pixels gather in a
// word (first pixel in the highest bit) that is stored, most significant
// byte first, once it is complete. Whole words inside a long run are stored
// directly. The caller never puts more pixels than the row holds.
class RowWriter {
 public:
  RowWriter(uint8_t* row, int32_t row_length) : out_(row), row_bits_(static_cast<uint64_t>(row_length) * 8) {}

  // Appends |n| pixels, each the bit of |ones| (all ones or all zeros).
  [[gnu::always_inline]] void Put(uint64_t n, uint64_t ones) {
    if (used_ + n < 64) {
      acc_ |= ones & (kAll >> used_) & ~(kAll >> (used_ + n));
      used_ += static_cast<unsigned>(n);
    } else {
      PutAcrossWords(n, ones);
    }
  }

  // Pixels written so far.
  uint64_t Position() const { return written_ + used_; }

  // Fills the rest of the row with 0 bits and stores the last, partial word.
  void Finish() {
    uint64_t left = row_bits_ - Position();
    if (left) Put(left, 0);
    uint64_t word = ToBigEndian(acc_);
    std::memcpy(out_, &word, used_ / 8);  // rows are whole bytes
  }

 private:
  static constexpr uint64_t kAll = ~uint64_t{0};

  void PutAcrossWords(uint64_t n, uint64_t ones) {
    Store(acc_ | (ones & (kAll >> used_)));
    n -= 64 - used_;
    for (uint64_t words = n / 64; words > 0; --words) Store(ones);
    used_ = static_cast<unsigned>(n % 64);
    acc_ = ones & ~(kAll >> used_);
  }

  void Store(uint64_t word) {
    word = ToBigEndian(word);
    std::memcpy(out_, &word, sizeof word);
    out_ += sizeof word;
    written_ += 64;
  }

  static uint64_t ToBigEndian(uint64_t word) {
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    return word;
  }

  uint8_t* out_;
  uint64_t row_bits_;
  uint64_t written_ = 0;  // pixels in stored words
  uint64_t acc_ = 0;      // the word being gathered
  unsigned used_ = 0;     // pixels in it, 0..63
};

// Writes the whole row from |runs|, alternately painted (1 bits) and not
// (0 bits) starting with a painted run when |first_painted|, then 0 bits to
// the row end. The same pixels as PaintRun over each run in turn on a
// cleared row (runs cut at the row end), but every byte is written, so the
// row needs no clearing. Returns the pixel where the runs end, capped at the
// row end: where a cursor would stand after them.
inline uint64_t PaintRow(uint8_t* row, int32_t row_length, std::span<const int32_t> runs, bool first_painted) {
  RowWriter writer(row, row_length);
  uint64_t left = static_cast<uint64_t>(row_length) * 8;
  const uint64_t first = first_painted ? ~uint64_t{0} : 0;
  auto put = [&](int32_t run, uint64_t ones) {
    uint64_t n = std::min(static_cast<uint64_t>(run), left);  // runs are never negative
    left -= n;
    writer.Put(n, ones);
  };
  size_t i = 0;
  for (; i + 1 < runs.size(); i += 2) {
    put(runs[i], first);
    put(runs[i + 1], ~first);
  }
  if (i < runs.size()) put(runs[i], first);
  uint64_t end = writer.Position();
  writer.Finish();
  return end;
}

}  // namespace tamarind
