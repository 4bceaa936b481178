// The runs of one coded line, alternately white and black starting with
// white; a changing element lies at the sum of the runs before it.
#pragma once

#include <cstdint>
#include <vector>

namespace tamarind {

struct RunList {
  uint32_t cursor = 0;  // next entry to consume
  uint32_t count = 0;   // entries in use
  std::vector<int32_t> entries;

  // Room for every run a line of |width| pixels can have: one a pixel,
  // after a white run of none when the line starts black. (One fewer, and
  // a line of alternating pixels that starts black overflows, whose runs
  // then never all reach the next line's reference: at a width of 1, every
  // black pixel.) Throws std::bad_alloc when there is no room.
  explicit RunList(int32_t width) : entries(static_cast<size_t>(width) + 1) {}

  void Clear() {
    cursor = 0;
    count = 0;
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
