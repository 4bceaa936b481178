// A 64-bit window over the coded bytes for the decoders' inner loops. It
// takes bits exactly as FaxBitReader does (same bit order, same end of
// data) but resolves a whole code with one table look-up. The byte-level
// resynchronisation searches still run on FaxBitReader; Load/Store move the
// position between the two.
#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstring>

#include "codec/fax/bit_reader.h"
#include "codec/fax/code_trees.h"

namespace tamarind {

inline constexpr int kReadFailed = -1;

class BitWindow {
 public:
  explicit BitWindow(const FaxBitReader& reader)
      : data_(reader.data), length_(reader.data ? reader.length : 0), reverse_(reader.bit_order != 1) {
    Load(reader);
  }

  // Continues from the reader's position: the bits of its current byte not
  // yet taken come next.
  void Load(const FaxBitReader& reader) {
    int64_t offset = reader.current < 0 ? 8 : reader.bit_offset;
    Seek(static_cast<int64_t>(reader.position) * 8 + offset);
  }

  // Leaves |reader| where a bit-by-bit walk over the same bits would have
  // left it: on the byte holding the last bit taken.
  void Store(FaxBitReader& reader) const {
    int64_t taken = Taken();
    if (taken == 0) {
      reader.position = 0;
      reader.bit_offset = 0;
    } else {
      reader.position = static_cast<int32_t>((taken - 1) / 8);
      reader.bit_offset = static_cast<uint8_t>(taken - int64_t{reader.position} * 8);
    }
    reader.current = static_cast<int16_t>(reader.Fetch(false));
  }

  // Bits of real data not yet taken.
  int64_t BitsLeft() const { return length_ * 8 - Taken(); }

  // The next |n| bits (n <= 32), zeros past the end of the data.
  uint32_t Peek(int n) {
    if (count_ < n) Refill();
    return static_cast<uint32_t>(window_ >> (64 - n));
  }

  void Skip(int n) {
    window_ <<= n;
    count_ -= n;
  }

  void Unread(int n) { Seek(Taken() - n); }

  // The leaf the walk of |tree| reaches from here, or kReadFailed when the
  // data ends before it.
  [[gnu::always_inline]] int DecodeCode(const CodeTree& tree) {
    uint16_t entry = tree.lookup[Peek(kLookupBits)];
    if (entry == 0) return WalkSlowly(tree);
    int taken = entry >> 8;
    // Until the window has loaded past the end, every bit in it is data.
    if (next_ > length_ && taken > BitsLeft()) return kReadFailed;
    Skip(taken);
    return entry & 0xFF;
  }

 private:
  // Bits taken from the start of the data.
  int64_t Taken() const { return next_ * 8 - count_; }

  void Seek(int64_t bit) {
    if (bit < 0) bit = 0;
    next_ = bit / 8;
    window_ = 0;
    count_ = 0;
    Refill();
    Skip(static_cast<int>(bit % 8));
  }

  // The slow paths work on a copy handed over by value, never on this
  // object: a window whose address never escapes stays in registers
  // through the decoders' loops.
  void Refill() {
    if (next_ + 8 <= length_) {
      // Eight bytes at once; the bits past the whole bytes taken are the
      // right ones too, so loading them again later changes nothing.
      uint64_t word;
      // length_ is 0 whenever data_ is null (see the constructor).
      std::memcpy(&word, data_ + next_, sizeof word);  // NOLINT(clang-analyzer-core.NonNullParamChecker)
      if (reverse_) word = ReverseBitsInEachByte(word);
      if constexpr (std::endian::native == std::endian::little) word = __builtin_bswap64(word);
      window_ |= word >> count_;
      int bytes = (64 - count_) / 8;
      next_ += bytes;
      count_ += bytes * 8;
      return;
    }
    *this = RefilledNearEnd(*this);
  }

  // Byte by byte, zeros past the end of the data.
  [[gnu::noinline]] static BitWindow RefilledNearEnd(BitWindow w) {
    w.RefillByBytes();
    return w;
  }

  void RefillByBytes() {
    while (count_ <= 56) {
      uint64_t byte = 0;
      if (next_ < length_) {
        uint8_t b = data_[next_];
        byte = reverse_ ? BitReversalTable[b] : b;
      }
      ++next_;
      window_ |= byte << (56 - count_);
      count_ += 8;
    }
  }

  static uint64_t ReverseBitsInEachByte(uint64_t w) {
    w = ((w >> 1) & 0x5555555555555555ULL) | ((w & 0x5555555555555555ULL) << 1);
    w = ((w >> 2) & 0x3333333333333333ULL) | ((w & 0x3333333333333333ULL) << 2);
    return ((w >> 4) & 0x0F0F0F0F0F0F0F0FULL) | ((w & 0x0F0F0F0F0F0F0F0FULL) << 4);
  }

  int WalkSlowly(const CodeTree& tree) {
    int leaf;
    *this = WalkedSlowly(*this, tree, leaf);
    return leaf;
  }

  [[gnu::noinline]] static BitWindow WalkedSlowly(BitWindow w, const CodeTree& tree, int& leaf) {
    leaf = w.WalkNodes(tree);
    return w;
  }

  // Long zero runs (EOL fill) and the longest codes: one node at a time.
  int WalkNodes(const CodeTree& tree) {
    auto take = [this](int n) -> int {
      if (n > BitsLeft()) return kReadFailed;
      int bits = static_cast<int>(Peek(n));
      Skip(n);
      return bits;
    };
    int index = take(tree.first_bits);
    while (index >= 0) {
      uint8_t e = tree.nodes[static_cast<size_t>(index)];
      if (IsLeaf(e)) return e;
      if (IsZeroLoop(tree, e)) SkipZeroPairs();
      int bits = take((e & 2) ? 2 : 1);
      if (bits < 0) return kReadFailed;
      index = (e & 2) ? e - 2 + bits : e + bits;
    }
    return kReadFailed;
  }

  // The EOL's loop, which takes two bits per step while they are zeros: the
  // only two-bit node whose "00" entry leads back to itself.
  static bool IsZeroLoop(const CodeTree& tree, uint8_t e) {
    return (e & 2) && tree.nodes[static_cast<size_t>(e - 2)] == e;
  }

  // Takes what the zero loop would take, 32 bits at a time: every pair of
  // zeros before the first 1 (or before the end of the data). A long run of
  // fill, or a hostile file of nothing but zeros, then costs a step per 32
  // bits instead of one per pair; the pairs keep the walk's parity, so the
  // leaf it ends on is the same.
  void SkipZeroPairs() {
    while (true) {
      const uint32_t next = Peek(32);  // zeros past the end of the data
      const int64_t zeros = std::min<int64_t>(next == 0 ? 32 : std::countl_zero(next), BitsLeft());
      const int pairs = static_cast<int>(zeros / 2);
      if (pairs == 0) return;
      Skip(2 * pairs);
      if (pairs < 16) return;
    }
  }

  const uint8_t* data_;
  int64_t length_;
  bool reverse_;
  uint64_t window_ = 0;  // next bits, first bit highest
  int count_ = 0;        // bits in the window
  int64_t next_ = 0;     // next byte to load
};

}  // namespace tamarind
