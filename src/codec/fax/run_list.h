// The runs of one coded line, alternately white and black starting with
// white; a changing element lies at the sum of the runs before it.
#pragma once

#include <algorithm>
#include <cstdint>
#include <limits>
#include <vector>

namespace tamarind {

struct RunList {
  uint32_t cursor = 0;  // next entry to consume
  uint32_t count = 0;   // entries in use
  std::vector<int32_t> entries;

  // Room for |width| entries; throws std::bad_alloc when there is none.
  explicit RunList(int32_t width) : entries(static_cast<size_t>(width)) {}

  void Clear() {
    cursor = 0;
    count = 0;
  }
  // Stores |run| while there is room; runs beyond the line's width of
  // entries are dropped.
  void Append(int64_t run) {
    if (count >= entries.size()) return;
    constexpr int64_t kMin = std::numeric_limits<int32_t>::min();
    constexpr int64_t kMax = std::numeric_limits<int32_t>::max();
    entries[count++] = static_cast<int32_t>(std::clamp(run, kMin, kMax));
  }
  // The reference line of a page's first line and of every line after an
  // EOL or a resynchronisation.
  void SetAllWhite(int32_t width) {
    entries[0] = width;
    count = 1;
    cursor = 0;
  }
};

}  // namespace tamarind
