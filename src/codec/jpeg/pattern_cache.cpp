#include "codec/jpeg/pattern_cache.h"

#include <algorithm>
#include <bit>

namespace tamarind {

namespace {

constexpr size_t kFirstSlots = 1024;
// Bytes an entry costs with its share of the table (kept at most half
// full) and of vector growth; symbols cost 4 bytes each, 8 with growth.
constexpr size_t kBytesPerEntry = 96;
constexpr size_t kBytesPerPoolWord = 8;

}  // namespace

PatternCache::PatternCache(size_t byteBudget)
    : maxEntries_(byteBudget / 2 / kBytesPerEntry), maxPool_(byteBudget / 2 / kBytesPerPoolWord) {}

size_t PatternCache::Slot(uint64_t pattern) const {
  // Fibonacci hashing: the high bits of the product mix every input bit.
  const int shift = 64 - std::countr_zero(keys_.size());
  size_t slot = static_cast<size_t>((pattern * 0x9E3779B97F4A7C15u) >> shift);
  const size_t mask = keys_.size() - 1;
  while (keys_[slot] != 0 && keys_[slot] != pattern) slot = (slot + 1) & mask;
  return slot;
}

uint32_t PatternCache::Find(uint64_t pattern) const {
  if (keys_.empty()) return kNone;
  const size_t slot = Slot(pattern);
  return keys_[slot] == pattern ? ids_[slot] : kNone;
}

void PatternCache::Grow() {
  std::vector<uint64_t> oldKeys = std::move(keys_);
  std::vector<uint32_t> oldIds = std::move(ids_);
  const size_t slots = std::max(kFirstSlots, 2 * oldKeys.size());
  keys_.assign(slots, 0);
  ids_.assign(slots, 0);
  for (size_t i = 0; i < oldKeys.size(); ++i) {
    if (oldKeys[i] == 0) continue;
    const size_t slot = Slot(oldKeys[i]);
    keys_[slot] = oldKeys[i];
    ids_[slot] = oldIds[i];
  }
}

uint32_t PatternCache::Add(uint64_t pattern, const BlockSymbols& symbols) {
  if (entries_.size() >= maxEntries_ || pool_.size() + symbols.count > maxPool_) return kNone;
  if (2 * (entries_.size() + 1) > keys_.size()) Grow();
  const size_t slot = Slot(pattern);
  const auto id = static_cast<uint32_t>(entries_.size());
  keys_[slot] = pattern;
  ids_[slot] = id;
  Entry entry;
  entry.first = static_cast<uint32_t>(pool_.size());
  entry.dc = symbols.dc;
  entry.tokens = symbols.count;
  entries_.push_back(entry);
  pool_.insert(pool_.end(), symbols.ac.begin(), symbols.ac.begin() + symbols.count);
  return id;
}

void PatternCache::CountSymbols(SymbolCounts& counts) const {
  for (const Entry& entry : entries_) {
    for (uint32_t i = entry.first; i < entry.first + entry.tokens; ++i) counts[AcSymbol(pool_[i])] += entry.uses;
  }
}

void PatternCache::Encode(const HuffmanCode& code) {
  for (Entry& entry : entries_) {
    uint64_t pending = 0;  // bits not yet stored, in the low end
    int pendingBits = 0;
    uint32_t stored = entry.first;
    uint32_t total = 0;
    for (uint32_t i = entry.first; i < entry.first + entry.tokens; ++i) {
      const AcToken token = pool_[i];
      const uint8_t symbol = AcSymbol(token);
      const int extra = symbol & 15;
      const int length = code.length[symbol] + extra;
      pending = (pending << length) | (uint64_t{code.code[symbol]} << extra) | AcExtraBits(token);
      pendingBits += length;
      total += static_cast<uint32_t>(length);
      if (pendingBits >= 32) {
        pendingBits -= 32;
        pool_[stored++] = static_cast<uint32_t>(pending >> pendingBits);
      }
    }
    if (pendingBits > 0) pool_[stored] = static_cast<uint32_t>(pending << (32 - pendingBits));
    entry.bits = total;
  }
}

}  // namespace tamarind
