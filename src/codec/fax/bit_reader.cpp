#include "codec/fax/bit_reader.h"

#include <bit>
#include <limits>

namespace tamarind {
namespace {

constexpr std::array<uint8_t, 256> MakeReversalTable() {
  std::array<uint8_t, 256> table{};
  for (int i = 0; i < 256; ++i) {
    int r = 0;
    for (int b = 0; b < 8; ++b) r |= ((i >> b) & 1) << (7 - b);
    table[static_cast<size_t>(i)] = static_cast<uint8_t>(r);
  }
  return table;
}

int LeadingZeros(int byte) { return std::countl_zero(static_cast<uint8_t>(byte)); }
int TrailingZeros(int byte) { return std::countr_zero(static_cast<uint8_t>(byte)); }

}  // namespace

const std::array<uint8_t, 256> BitReversalTable = MakeReversalTable();

void FaxBitReader::Reset(std::span<const uint8_t> bytes) {
  data = bytes.data();
  constexpr size_t kMaxLength = std::numeric_limits<int32_t>::max();
  length = static_cast<int32_t>(bytes.size() < kMaxLength ? bytes.size() : kMaxLength);
  position = 0;
  bit_offset = 0;
  current = static_cast<int16_t>(Fetch(false));
}

int FaxBitReader::Fetch(bool advance) {
  if (data == nullptr) return kFetchNoData;
  if (advance && position < std::numeric_limits<int32_t>::max()) ++position;
  if (position < 0) return kFetchBeforeStart;
  if (position >= length) return kFetchPastEnd;
  uint8_t b = data[position];
  return bit_order == 1 ? b : BitReversalTable[b];
}

int FaxBitReader::ReadBits(int n) {
  if (current < 0) return current;
  if (bit_offset + n <= 8) {
    bit_offset = static_cast<uint8_t>(bit_offset + n);
    return (current >> (8 - bit_offset)) & ((1 << n) - 1);
  }
  int keep = current & ((1 << (8 - bit_offset)) - 1);
  bit_offset = static_cast<uint8_t>(bit_offset + n - 8);
  current = static_cast<int16_t>(Fetch(true));
  if (current < 0) return current;
  return ((keep << bit_offset) | (current >> (8 - bit_offset))) & ((1 << n) - 1);
}

void FaxBitReader::UnreadBits(int n) {
  if (bit_offset >= n) {
    bit_offset = static_cast<uint8_t>(bit_offset - n);
    return;
  }
  --position;
  current = static_cast<int16_t>(Fetch(false));
  bit_offset = static_cast<uint8_t>(bit_offset + 8 - n);
}

int FindEol(FaxBitReader& reader) {
  while (true) {
    if (reader.current < 0) return reader.current;
    int zeros = TrailingZeros(reader.current);  // 8 for a zero byte
    int byte;
    do {
      byte = reader.Fetch(true);
      reader.current = static_cast<int16_t>(byte);
      if (byte < 0) return byte;
      zeros += LeadingZeros(byte);
    } while (byte == 0);
    reader.bit_offset = static_cast<uint8_t>(LeadingZeros(byte) + 1);
    if (zeros >= 11) return 0;
  }
}

}  // namespace tamarind
