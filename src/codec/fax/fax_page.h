// One decoded fax page: a one-bit bitmap with its geometry, resolution and
// a note of the coding it came from. The decoders fill it; everything after
// them only reads it.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace tamarind {

struct FaxPage {
  int32_t reserved = 0;
  int32_t width = 0;          // pixels per row
  int32_t height = 0;         // rows decoded (valid rows in |bits|)
  int32_t bytes_per_row = 0;  // (width + 7) / 8
  uint16_t samples_per_pixel = 0;
  uint16_t bits_per_pixel = 0;
  int32_t coded_length = 0;   // bytes of coded data the page came from
  uint16_t x_resolution = 0;  // dots per inch
  uint16_t y_resolution = 0;
  uint8_t resolution_unit = 0;  // 2: per inch
  uint8_t bit_order = 0;        // 1 most significant bit first, 2 least
  uint8_t coding = 0;           // 5 Group 3 one-dimensional, 7 Group 4
  uint8_t width_class = 0;
  uint8_t invert = 0;  // 0: 1 bits are white
  // Row 0 is the top; rows are bytes_per_row apart; most significant bit is
  // the leftmost pixel; 1 = white. Holds at least height rows. Grows with the
  // rows actually decoded, never with the expected line count up front.
  std::vector<uint8_t> bits;

  std::span<const uint8_t> Row(int32_t y) const {
    return std::span<const uint8_t>(bits).subspan(static_cast<size_t>(y) * static_cast<size_t>(bytes_per_row),
                                                  static_cast<size_t>(bytes_per_row));
  }
};

}  // namespace tamarind
