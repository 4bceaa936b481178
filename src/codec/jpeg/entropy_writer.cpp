#include "codec/jpeg/entropy_writer.h"

#include <bit>
#include <cstring>

namespace tamarind {

namespace {

// Bytes handed to the stream at once; the slack holds one drained word
// with every byte stuffed, and the stuffing byte written ahead of time.
constexpr size_t kChunkBytes = size_t{64} * 1024;
constexpr size_t kSlackBytes = 32;

// True when some byte of |word| may be 0xFF (never false when one is):
// the top bit of a byte that is set and that does not flip when the byte
// is incremented. A carry from a lower byte can give a false alarm, which
// only costs the careful path.
bool MayHoldFF(uint64_t word) { return (word & 0x8080808080808080u & ~(word + 0x0101010101010101u)) != 0; }

}  // namespace

EntropyWriter::EntropyWriter(std::FILE* out)
    : out_(out), bytes_(std::make_unique_for_overwrite<uint8_t[]>(kChunkBytes + kSlackBytes)) {}

void EntropyWriter::PutSplit(uint32_t bits, int count) {
  // Only called with count >= free_, so free_ <= 32 and the shifts stay
  // below 64. The bits already drained stay above the new ones in
  // |buffer_| and are shifted out before the next drain.
  const int rest = count - free_;
  Drain((buffer_ << free_) | (bits >> rest));
  buffer_ = bits;
  free_ = 64 - rest;
}

void EntropyWriter::PutRepeated(uint32_t bits, int count, int64_t times) {
  const int copies = 32 / count;
  uint32_t word = 0;
  for (int i = 0; i < copies; ++i) word = static_cast<uint32_t>((uint64_t{word} << count) | bits);
  const int wordBits = copies * count;
  for (; times >= copies; times -= copies) Put(word, wordBits);
  if (times > 0) Put(word >> (count * (copies - times)), static_cast<int>(count * times));
}

void EntropyWriter::EndSegment() {
  int pending = 64 - free_;
  for (; pending >= 8; pending -= 8) PutStuffedByte(static_cast<uint8_t>(buffer_ >> (pending - 8)));
  if (pending > 0) PutStuffedByte(static_cast<uint8_t>((buffer_ << (8 - pending)) | (0xFFu >> pending)));
  buffer_ = 0;
  free_ = 64;
}

void EntropyWriter::PutBytes(std::span<const uint8_t> bytes) {
  for (uint8_t byte : bytes) {
    MakeRoom();
    bytes_[used_++] = byte;
  }
}

void EntropyWriter::MakeRoom() {
  if (used_ >= kChunkBytes) Flush();
}

void EntropyWriter::PutStuffedByte(uint8_t byte) {
  MakeRoom();
  bytes_[used_++] = byte;
  if (byte == 0xFF) bytes_[used_++] = 0x00;
}

void EntropyWriter::Drain(uint64_t word) {
  MakeRoom();
  uint8_t* out = &bytes_[used_];
  if (!MayHoldFF(word)) [[likely]] {
    if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
    std::memcpy(out, &word, sizeof word);
    used_ += sizeof word;
    return;
  }
  // Each byte, and a zero after it that is kept only behind a 0xFF.
  for (int shift = 56; shift >= 0; shift -= 8) {
    const auto byte = static_cast<uint8_t>(word >> shift);
    out[0] = byte;
    out[1] = 0x00;
    out += 1 + (byte == 0xFF);
  }
  used_ = static_cast<size_t>(out - bytes_.get());
}

bool EntropyWriter::Flush() {
  if (used_ > 0 && std::fwrite(bytes_.get(), 1, used_, out_) != used_) failed_ = true;
  used_ = 0;
  return !failed_ && !std::ferror(out_);
}

}  // namespace tamarind
