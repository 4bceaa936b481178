// The distinct mixed 8x8 patterns of a page, each transformed, quantised
// and turned into symbols once: text repeats its glyphs' blocks, and an
// ordered-dither halftone repeats a handful of patterns over and over.
// After the statistics pass each pattern's AC symbols are coded once more,
// into the bit string the output pass copies for every block of that
// pattern.
//
// Bounded: patterns seen after the byte budget is spent are not kept;
// their blocks are coded where they stand instead.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "codec/jpeg/block_symbols.h"
#include "codec/jpeg/huffman_table.h"

namespace tamarind {

class PatternCache {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  struct Entry {
    uint32_t first = 0;  // index of its first word in the pool
    uint32_t uses = 0;   // blocks of this pattern counted so far
    uint32_t bits = 0;   // length of its coded AC bits, once coded
    int16_t dc = 0;
    uint8_t tokens = 0;  // AC symbols
  };

  // Keeps about |byteBudget| bytes at most (table, entries and pool).
  explicit PatternCache(size_t byteBudget);

  // The id of |pattern| (never 0 or all ones: those blocks are uniform),
  // or kNone.
  uint32_t Find(uint64_t pattern) const;
  // Adds |pattern| with its symbols; kNone when the budget is spent.
  uint32_t Add(uint64_t pattern, const BlockSymbols& symbols);

  Entry& operator[](uint32_t id) { return entries_[id]; }
  const Entry& operator[](uint32_t id) const { return entries_[id]; }
  size_t size() const { return entries_.size(); }

  // Adds each pattern's AC symbols, times its uses, to |counts|.
  void CountSymbols(SymbolCounts& counts) const;
  // Replaces each pattern's symbols by their coded bits under |code|
  // (which must hold every symbol counted). Called once, after the last
  // Add.
  void Encode(const HuffmanCode& code);
  // A pattern's coded AC bits, after Encode().
  std::span<const uint32_t> Bits(const Entry& entry) const {
    return std::span(pool_).subspan(entry.first, (entry.bits + 31) / 32);
  }

 private:
  size_t Slot(uint64_t pattern) const;
  void Grow();

  size_t maxEntries_;
  size_t maxPool_;
  std::vector<uint64_t> keys_;  // open addressing; 0 marks a free slot
  std::vector<uint32_t> ids_;
  std::vector<Entry> entries_;
  // Each pattern's symbols, later overwritten in place by its bits: a
  // symbol codes to at most 26 bits, so the bits never overtake the
  // symbols still to be read.
  std::vector<uint32_t> pool_;
};

}  // namespace tamarind
