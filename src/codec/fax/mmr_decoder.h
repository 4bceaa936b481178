// Group 4 (MMR, T.6) page decoder.
#pragma once

#include "codec/fax/g3_decoder.h"

namespace tamarind {

class MmrDecoder : public G3Decoder {
 public:
  MmrDecoder(std::span<const uint8_t> data, uint8_t bit_order, uint8_t variant, uint8_t invert, uint8_t sync_run);

  // Fills |page|. 0 normal end, -1 bad variant or allocation failure, -11
  // data ended before any line, -12 invalid code with no sync run after it.
  int DecodeMmrPage(FaxPage& page);
};

}  // namespace tamarind
