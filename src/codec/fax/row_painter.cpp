#include "codec/fax/row_painter.h"

#include <cstring>

namespace tamarind {

int PaintRun(RowCursor& cursor, int64_t n, bool skip) {
  if (cursor.byte_index >= cursor.row_length) return -1;
  if (n <= 0) return 0;
  int64_t end = static_cast<int64_t>(cursor.byte_index) * 8 + cursor.bit_index + n;
  int64_t row_bits = static_cast<int64_t>(cursor.row_length) * 8;
  bool cut = end >= row_bits;
  if (cut) end = row_bits;
  int32_t end_byte = static_cast<int32_t>(end / 8);
  uint8_t end_bit = static_cast<uint8_t>(end % 8);
  if (!skip) {
    uint8_t* row = cursor.row;
    if (end_byte == cursor.byte_index) {
      row[end_byte] |= static_cast<uint8_t>((0xFF >> cursor.bit_index) & ~(0xFF >> end_bit));
    } else {
      row[cursor.byte_index] |= static_cast<uint8_t>(0xFF >> cursor.bit_index);
      int32_t first_whole = cursor.byte_index + 1;
      std::memset(row + first_whole, 0xFF, static_cast<size_t>(end_byte - first_whole));
      if (end_bit) row[end_byte] = static_cast<uint8_t>(0xFF << (8 - end_bit));
    }
  }
  cursor.byte_index = end_byte;
  cursor.bit_index = end_bit;
  return cut ? -1 : 0;
}

}  // namespace tamarind
