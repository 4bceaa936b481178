// Group 3 one-dimensional (Modified Huffman) page decoder.
#pragma once

#include <cstdint>
#include <span>

#include "codec/fax/bit_reader.h"
#include "codec/fax/fax_page.h"

namespace tamarind {

enum BitOrder : uint8_t { MsbFirst = 1, LsbFirst = 2 };

// The only page decoder DecodeG3Page runs: lines of run-length codes ended
// by EOL codes.
inline constexpr uint8_t kCodingG3OneDimensional = 5;

class G3Decoder : public FaxBitReader {
 public:
  // |data| is owned by the caller and must outlive decoding.
  G3Decoder(std::span<const uint8_t> data, uint8_t bit_order, uint8_t coding_mode, uint8_t invert);

  // Line width in pixels and the most lines to store.
  void SetPageSize(int32_t width, int32_t lines);

  // Fills |page| with the lines decoded (damaged, short and overlong lines
  // are dropped; decoding resumes after the next EOL), and stops once the
  // expected lines are stored: data after them is not read. -1 when the bitmap
  // cannot be allocated (the page then has height 0) or the coding mode is
  // not one this decoder knows (the page is left alone), else the number of
  // invalid codes met.
  int DecodeG3Page(FaxPage& page);

 protected:
  uint8_t coding_mode_;
  uint8_t invert_;
  int32_t width_ = 0;
  int32_t lines_ = 0;  // expected lines: rows of the bitmap at most
};

}  // namespace tamarind
