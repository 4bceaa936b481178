// Paints runs of pixels into one bitmap row, left to right.
#pragma once

#include <cstdint>

namespace tamarind {

struct RowCursor {
  int32_t byte_index = 0;
  int32_t row_length = 0;  // bytes
  uint8_t bit_index = 0;   // 0..7, counted from the most significant bit
  uint8_t* row = nullptr;

  void Start(uint8_t* row_bytes, int32_t length) {
    row = row_bytes;
    row_length = length;
    byte_index = 0;
    bit_index = 0;
  }
};

// Writes a run of |n| pixels at the cursor: 1 bits, or nothing at all when
// |skip| (the row was cleared to 0 before). A run that reaches the row end
// is cut there and returns -1, as does a run starting at or past it; a run
// of negative length (only corrupt data makes one) paints nothing and leaves
// the cursor. 0 otherwise.
int PaintRun(RowCursor& cursor, int64_t n, bool skip);

}  // namespace tamarind
