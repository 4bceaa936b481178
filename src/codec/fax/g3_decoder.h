// Group 3 one-dimensional (Modified Huffman) page decoder.
#pragma once

#include <cstdint>
#include <span>

#include "codec/fax/fax_page.h"

namespace tamarind {

enum BitOrder : uint8_t { MsbFirst = 1, LsbFirst = 2 };

class G3Decoder {
 public:
  G3Decoder(std::span<const uint8_t> data, uint8_t bit_order, uint8_t coding_mode, uint8_t invert);

  // Line width in pixels and the most lines to store.
  void SetPageSize(int32_t width, int32_t lines);

  // Fills |page|. -1 when the bitmap cannot be allocated, else the number of
  // invalid codes met.
  int DecodeG3Page(FaxPage& page);
};

}  // namespace tamarind
