// The distinct mixed 8x8 patterns of a page. Text repeats its glyphs'
// blocks and a halftone its dither's, so the statistics pass counts each
// distinct pattern's uses (its symbols are then counted once, times the
// uses), and the output pass codes each pattern once: the code of its AC
// symbols is kept and copied for every later block of that pattern.
//
// Bounded by a byte budget, of which the table takes at most 40% and the
// kept codes the rest. Patterns that find no room are not kept, codes that
// find none are not kept either; such blocks are coded where they stand.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tamarind {

class PatternCache {
 public:
  static constexpr uint32_t kNone = UINT32_MAX;

  // |blocks|, the page's, sizes the first table.
  PatternCache(size_t byteBudget, int64_t blocks);

  // Statistics pass: one more block of |pattern| (never all white or all
  // black). False when the pattern is not kept.
  bool CountUse(uint64_t pattern);

  // After the statistics pass: visit(pattern, uses) for each kept one.
  template <typename Visit>
  void ForEachPattern(Visit&& visit) const {
    for (size_t slot = 0; slot < keys_.size(); ++slot)
      if (keys_[slot] != 0) visit(keys_[slot], value_[slot]);
  }

  // Output pass: the slot of |pattern|, or kNone when it was not kept.
  uint32_t Find(uint64_t pattern) const;
  bool HasCode(uint32_t slot) const { return first_[slot] != kNone; }
  const uint32_t* Code(uint32_t slot) const { return &pool_[first_[slot]]; }
  uint32_t CodeBits(uint32_t slot) const { return value_[slot]; }
  // Keeps a slot's code of |bits| bits; false when the budget cannot hold
  // it.
  bool KeepCode(uint32_t slot, std::span<const uint32_t> words, uint32_t bits);

 private:
  static constexpr size_t kSlotBytes = sizeof(uint64_t) + 2 * sizeof(uint32_t);

  size_t Slot(uint64_t pattern) const;
  bool Grow();

  size_t maxSlots_;
  size_t maxPoolWords_;
  size_t used_ = 0;  // kept patterns
  // Open addressing with linear probing, at most 70% full; key 0 marks a
  // free slot (0 is the all-black block, never kept).
  std::vector<uint64_t> keys_;
  std::vector<uint32_t> first_;  // the code's first word in |pool_|, or kNone
  std::vector<uint32_t> value_;  // uses in the statistics pass, then the code's length in bits
  std::vector<uint32_t> pool_;
};

}  // namespace tamarind
