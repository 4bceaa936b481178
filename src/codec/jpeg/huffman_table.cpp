#include "codec/jpeg/huffman_table.h"

#include <algorithm>
#include <vector>

namespace tamarind {

namespace {

// libjpeg's assumed longest code before the 16-bit limit is applied.
constexpr int kMaxCodeLength = 32;
constexpr int kSymbols = 257;  // 256 real ones and the reserved one
constexpr int64_t kCountBound = 1000000000;

// The two smallest counts among the |active| symbols (those with a count,
// in increasing order); on ties the higher symbol wins, as in libjpeg,
// whose scan over all 257 this is. Returns false when fewer than two are
// left.
bool TwoSmallest(const std::array<int64_t, kSymbols>& freq, const std::vector<int>& active, int& c1, int& c2) {
  c1 = c2 = -1;
  int64_t v = kCountBound;
  for (int i : active) {
    if (freq[i] <= v) {
      v = freq[i];
      c1 = i;
    }
  }
  v = kCountBound;
  for (int i : active) {
    if (freq[i] <= v && i != c1) {
      v = freq[i];
      c2 = i;
    }
  }
  return c2 >= 0;
}

// Huffman's procedure on code lengths: |others| chains each merged branch,
// and every symbol of a branch gets one bit longer at each merge.
std::array<int, kSymbols> CodeSizes(std::array<int64_t, kSymbols> freq) {
  std::array<int, kSymbols> size{};
  std::array<int, kSymbols> others;
  others.fill(-1);
  std::vector<int> active;
  for (int i = 0; i < kSymbols; ++i)
    if (freq[i]) active.push_back(i);
  int c1, c2;
  while (TwoSmallest(freq, active, c1, c2)) {
    freq[c1] += freq[c2];
    freq[c2] = 0;
    active.erase(std::find(active.begin(), active.end(), c2));
    ++size[c1];
    while (others[c1] >= 0) {
      c1 = others[c1];
      ++size[c1];
    }
    others[c1] = c2;
    ++size[c2];
    while (others[c2] >= 0) {
      c2 = others[c2];
      ++size[c2];
    }
  }
  return size;
}

// Annex K.3's adjustment: symbols are moved out of lengths over 16 in
// pairs, and the reserved symbol is taken from the longest length left.
void LimitTo16Bits(std::array<int, kMaxCodeLength + 1>& bits) {
  int i = kMaxCodeLength;
  for (; i > 16; --i) {
    while (bits[i] > 0) {
      int j = i - 2;
      while (bits[j] == 0) --j;
      bits[i] -= 2;
      bits[i - 1] += 1;
      bits[j + 1] += 2;
      bits[j] -= 1;
    }
  }
  while (bits[i] == 0) --i;
  bits[i] -= 1;
}

}  // namespace

std::optional<HuffmanTable> OptimalHuffmanTable(const SymbolCounts& counts) {
  std::array<int64_t, kSymbols> freq{};
  for (int i = 0; i < 256; ++i) {
    if (counts[i] < 0 || counts[i] >= kCountBound) return std::nullopt;
    freq[i] = counts[i];
  }
  // The reserved symbol: it takes the all-ones code of the longest length,
  // which no real symbol may have.
  freq[256] = 1;
  const std::array<int, kSymbols> size = CodeSizes(freq);

  std::array<int, kMaxCodeLength + 1> bits{};
  for (int i = 0; i < kSymbols; ++i) {
    if (size[i] > kMaxCodeLength) return std::nullopt;
    if (size[i]) ++bits[size[i]];
  }
  LimitTo16Bits(bits);

  HuffmanTable table;
  for (int length = 1; length <= 16; ++length) table.bits[length] = static_cast<uint8_t>(bits[length]);
  // Symbols in order of their unlimited lengths, as the library lists them.
  for (int length = 1; length <= kMaxCodeLength; ++length) {
    for (int symbol = 0; symbol < 256; ++symbol) {
      if (size[symbol] == length) table.values.push_back(static_cast<uint8_t>(symbol));
    }
  }
  return table;
}

std::optional<HuffmanCode> CodeOf(const HuffmanTable& table) {
  HuffmanCode code;
  size_t next = 0;
  uint32_t value = 0;
  for (int length = 1; length <= 16; ++length) {
    for (int n = 0; n < table.bits[length]; ++n, ++next, ++value) {
      if (next >= table.values.size()) return std::nullopt;
      const uint8_t symbol = table.values[next];
      if (code.length[symbol] != 0) return std::nullopt;
      code.code[symbol] = static_cast<uint16_t>(value);
      code.length[symbol] = static_cast<uint8_t>(length);
    }
    // No code may be all ones: one more than the last must still fit.
    if (value >= (uint32_t{1} << length)) return std::nullopt;
    value <<= 1;
  }
  return code;
}

}  // namespace tamarind
