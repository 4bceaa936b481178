// Row storage of a page being decoded. The bitmap grows with the rows the
// decoder actually reaches (doubling), never to the expected line count up
// front, so a few coded bytes claiming a 65535 x 65535 page cost little.
#pragma once

#include <cstdint>

#include "codec/fax/bit_reader.h"
#include "codec/fax/fax_page.h"
#include "codec/fax/row_painter.h"

namespace tamarind {

// Sets every field of |page| for a decode (height = |lines|, as a header
// that says how many rows there is room for) and drops its old bitmap.
void FillPageHeader(FaxPage& page, const FaxBitReader& reader, int32_t width, int32_t lines, uint8_t coding,
                    uint8_t invert);

class PageRows {
 public:
  PageRows(FaxPage& page, int32_t lines) : page_(page), lines_(lines) {}

  // Puts |cursor| at the start of row |row| (below the expected lines) and
  // clears that row. False when the bitmap cannot grow to hold it.
  bool StartRow(int32_t row, RowCursor& cursor);
  // As StartRow, for a decoder that writes every byte of the row itself:
  // the row keeps whatever it held.
  bool PlaceRow(int32_t row, RowCursor& cursor);
  void ClearRow(RowCursor& cursor);

  // Gives the page its final height and trims the bitmap to it; an empty
  // page when the bitmap could not be allocated.
  void Finish(int32_t height, bool allocation_failed);

 private:
  // Grows the bitmap to hold |row|; true when it had to (new rows are zero).
  bool Grow(int32_t row);

  FaxPage& page_;
  int32_t lines_;
  int32_t rows_allocated_ = 0;
};

}  // namespace tamarind
