// The output end of a JPEG file: a 64-bit bit buffer for the entropy-coded
// data, with the byte stuffing that keeps it free of markers (every 0xFF
// byte is followed by 0x00), and a byte buffer that goes to the file a
// chunk at a time. Marker segments pass through as raw bytes.
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <span>

namespace tamarind {

class EntropyWriter {
 public:
  // Writes to |out|, which stays the caller's.
  explicit EntropyWriter(std::FILE* out);

  // Appends the low |count| bits of |bits|, most significant first;
  // |count| 0..32, and |bits| must have no bit set above them.
  void Put(uint32_t bits, int count) {
    if (count < free_) {
      buffer_ = (buffer_ << count) | bits;
      free_ -= count;
      return;
    }
    PutSplit(bits, count);
  }

  // |times| copies of the same |count| bits (|count| 1..32), a word of
  // copies at a time.
  void PutRepeated(uint32_t bits, int count, int64_t times);

  // |bitCount| bits stored most significant first in 32-bit words, the
  // last word's bits in its high end.
  void PutString(const uint32_t* words, uint32_t bitCount) {
    const uint32_t whole = bitCount / 32;
    uint32_t i = 0;
    for (; i + 1 < whole; i += 2) Put64(uint64_t{words[i]} << 32 | words[i + 1]);
    if (i < whole) Put(words[i], 32);
    if (const int rest = static_cast<int>(bitCount % 32)) Put(words[whole] >> (32 - rest), rest);
  }

  // Ends the entropy-coded segment as libjpeg does: the last byte is
  // filled with 1 bits (and stuffed if it comes out as 0xFF).
  void EndSegment();

  // Marker bytes, written as they are. Only between segments.
  void PutBytes(std::span<const uint8_t> bytes);

  // Hands everything buffered to the stream; false when the stream
  // reported an error (then or earlier).
  bool Flush();

 private:
  void PutSplit(uint32_t bits, int count);
  // 64 bits at once: the buffer fills exactly once.
  void Put64(uint64_t bits) {
    if (free_ == 64) {
      Drain(bits);
      return;
    }
    Drain((buffer_ << free_) | (bits >> (64 - free_)));
    buffer_ = bits;  // its low 64 - free_ bits are still to go
  }
  // Writes the full 64-bit buffer, stuffing where a byte is 0xFF.
  void Drain(uint64_t word);
  void PutStuffedByte(uint8_t byte);
  void MakeRoom();

  std::FILE* out_;
  uint64_t buffer_ = 0;
  int free_ = 64;  // bits of |buffer_| not yet holding data
  std::unique_ptr<uint8_t[]> bytes_;
  size_t used_ = 0;
  bool failed_ = false;
};

}  // namespace tamarind
