#include "codec/fax/page_rows.h"

#include <algorithm>
#include <cstring>
#include <new>
#include <stdexcept>
#include <vector>

#include "codec/fax/width_class.h"

namespace tamarind {
namespace {
constexpr int32_t kFirstRows = 64;
}

void FillPageHeader(FaxPage& page, const FaxBitReader& reader, int32_t width, int32_t lines, uint8_t coding,
                    uint8_t invert) {
  WidthClassInfo width_class = WidthClass(width);
  page.reserved = 0;
  page.width = width;
  page.height = lines;
  page.bytes_per_row = width > 0 ? static_cast<int32_t>((static_cast<int64_t>(width) + 7) / 8) : 0;
  page.samples_per_pixel = 1;
  page.bits_per_pixel = 1;
  page.coded_length = reader.length;
  page.x_resolution = width_class.resolution;
  page.y_resolution = 100;
  page.resolution_unit = 2;
  page.bit_order = reader.bit_order;
  page.coding = coding;
  page.width_class = width_class.width_class;
  page.invert = invert;
  page.bits.clear();  // keeps the capacity for the next page of a document
}

bool PageRows::Grow(int32_t row) {
  if (row < rows_allocated_) return false;
  int32_t grown = std::min(lines_, std::max({row + 1, kFirstRows, rows_allocated_ * 2}));
  try {
    page_.bits.resize(static_cast<size_t>(grown) * static_cast<size_t>(page_.bytes_per_row));
  } catch (const std::bad_alloc&) {
    return false;
  } catch (const std::length_error&) {
    return false;
  }
  rows_allocated_ = grown;
  return true;
}

bool PageRows::PlaceRow(int32_t row, RowCursor& cursor) {
  Grow(row);
  if (row >= rows_allocated_) return false;
  cursor.Start(page_.bits.data() + static_cast<size_t>(row) * static_cast<size_t>(page_.bytes_per_row),
               page_.bytes_per_row);
  return true;
}

bool PageRows::StartRow(int32_t row, RowCursor& cursor) {
  bool fresh = Grow(row);  // rows added by growth are zero already
  if (!PlaceRow(row, cursor)) return false;
  if (!fresh) ClearRow(cursor);
  return true;
}

void PageRows::ClearRow(RowCursor& cursor) {
  std::memset(cursor.row, 0, static_cast<size_t>(cursor.row_length));
  cursor.byte_index = 0;
  cursor.bit_index = 0;
}

void PageRows::Finish(int32_t height, bool allocation_failed) {
  if (allocation_failed) {
    std::vector<uint8_t>().swap(page_.bits);
    page_.height = 0;
    return;
  }
  page_.height = height;
  page_.bits.resize(static_cast<size_t>(height) * static_cast<size_t>(page_.bytes_per_row));
}

}  // namespace tamarind
