#include "codec/jpeg/pattern_cache.h"

#include <algorithm>

namespace tamarind {

namespace {

constexpr size_t kFirstSlots = 2048;

}  // namespace

PatternCache::PatternCache(size_t byteBudget, int64_t blocks)
    : maxSlots_(byteBudget / 5 * 2 / kSlotBytes),
      maxPoolWords_((byteBudget - maxSlots_ * kSlotBytes) / sizeof(uint32_t)) {
  // Text has a mixed block in six or so, and half of those repeat.
  const size_t first = std::min(maxSlots_, std::max(kFirstSlots, static_cast<size_t>(blocks / 8)));
  keys_.assign(first, 0);
  first_.assign(first, kNone);
  value_.assign(first, 0);
}

namespace {

// The high half of the 128-bit product of |a| and |b|; from four 32-bit
// products where the compiler has no 128-bit integers (32-bit targets).
uint64_t ProductHigh(uint64_t a, uint64_t b) {
#ifdef __SIZEOF_INT128__
  return static_cast<uint64_t>((static_cast<unsigned __int128>(a) * b) >> 64);
#else
  const uint64_t aLow = a & 0xFFFFFFFFu, aHigh = a >> 32, bLow = b & 0xFFFFFFFFu, bHigh = b >> 32;
  const uint64_t middle = aHigh * bLow + ((aLow * bLow) >> 32);
  const uint64_t cross = aLow * bHigh + (middle & 0xFFFFFFFFu);
  return aHigh * bHigh + (middle >> 32) + (cross >> 32);
#endif
}

}  // namespace

size_t PatternCache::Slot(uint64_t pattern) const {
  // Multiplicative hashing, mapped onto any table size by the high half of
  // a 128-bit product rather than by a modulo.
  const uint64_t hash = pattern * 0x9E3779B97F4A7C15u;
  size_t slot = static_cast<size_t>(ProductHigh(hash, keys_.size()));
  while (keys_[slot] != 0 && keys_[slot] != pattern)
    if (++slot == keys_.size()) slot = 0;
  return slot;
}

uint32_t PatternCache::Find(uint64_t pattern) const {
  if (keys_.empty()) return kNone;
  const size_t slot = Slot(pattern);
  return keys_[slot] == pattern ? static_cast<uint32_t>(slot) : kNone;
}

bool PatternCache::Grow() {
  const size_t slots = std::min(maxSlots_, keys_.size() * 3 / 2);
  if (slots <= keys_.size()) return false;
  const std::vector<uint64_t> keys = std::move(keys_);
  const std::vector<uint32_t> values = std::move(value_);
  keys_.assign(slots, 0);
  first_.assign(slots, kNone);
  value_.assign(slots, 0);
  for (size_t i = 0; i < keys.size(); ++i) {
    if (keys[i] == 0) continue;
    const size_t slot = Slot(keys[i]);
    keys_[slot] = keys[i];
    value_[slot] = values[i];
  }
  return true;
}

bool PatternCache::CountUse(uint64_t pattern) {
  if (keys_.empty()) return false;
  size_t slot = Slot(pattern);
  if (keys_[slot] == pattern) {
    ++value_[slot];
    return true;
  }
  if (10 * (used_ + 1) > 7 * keys_.size()) {
    if (!Grow()) return false;
    slot = Slot(pattern);
  }
  keys_[slot] = pattern;
  value_[slot] = 1;
  ++used_;
  return true;
}

bool PatternCache::KeepCode(uint32_t slot, std::span<const uint32_t> words, uint32_t bits) {
  // Reserved once, the rest of the budget: only what is stored is touched.
  if (pool_.capacity() == 0) pool_.reserve(std::max<size_t>(1, maxPoolWords_));
  if (pool_.size() + words.size() > pool_.capacity()) return false;
  first_[slot] = static_cast<uint32_t>(pool_.size());
  value_[slot] = bits;
  pool_.insert(pool_.end(), words.begin(), words.end());
  return true;
}

}  // namespace tamarind
