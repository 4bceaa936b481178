// The marker segments of a single-component JFIF file, in the order and
// with the fields libjpeg writes them for a greyscale image with its
// default settings: SOI, APP0 (JFIF 1.01, density unit 0, density 1:1),
// DQT, SOF0 (SOF1 when the quantisation table needs 16-bit entries), DHT
// for the DC table, DHT for the AC table, SOS; and EOI after the data.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/jpeg/jpeg_tables.h"

namespace tamarind {

struct GreyscaleFrame {
  uint16_t width = 0;
  uint16_t height = 0;
  const QuantTable* quant = nullptr;
  const HuffmanTable* dc = nullptr;
  const HuffmanTable* ac = nullptr;
};

// Everything before the entropy-coded data.
std::vector<uint8_t> GreyscaleHeaders(const GreyscaleFrame& frame);

inline constexpr uint8_t kEndOfImage[] = {0xFF, 0xD9};

}  // namespace tamarind
