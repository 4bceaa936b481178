// Decoding helpers shared by the decoder tests.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

#include "codec/fax/fax_page.h"
#include "codec/fax/g3_decoder.h"
#include "codec/fax/mmr_decoder.h"
#include "support/real_pages.h"

namespace tamarind::test {

struct Decoded {
  FaxPage page;
  int result = 0;
};

inline Decoded DecodeG3(std::span<const uint8_t> data, int32_t width, int32_t lines, uint8_t bit_order = MsbFirst) {
  Decoded out;
  G3Decoder decoder(data, bit_order, kCodingG3OneDimensional, 0);
  decoder.SetPageSize(width, lines);
  out.result = decoder.DecodeG3Page(out.page);
  return out;
}

inline Decoded DecodeMmr(std::span<const uint8_t> data, int32_t width, int32_t lines, uint8_t bit_order = MsbFirst) {
  Decoded out;
  MmrDecoder decoder(data, bit_order, 0, 0, 3);
  decoder.SetPageSize(width, lines);
  out.result = decoder.DecodeMmrPage(out.page);
  return out;
}

// Room for every line the real pages hold.
inline constexpr int32_t kRealPageLines = 4000;

inline Decoded DecodeReal(const RealPage& page, std::span<const uint8_t> data, uint8_t bit_order = MsbFirst) {
  return page.coding == PageCoding::kGroup3 ? DecodeG3(data, page.width, kRealPageLines, bit_order)
                                            : DecodeMmr(data, page.width, kRealPageLines, bit_order);
}

}  // namespace tamarind::test
