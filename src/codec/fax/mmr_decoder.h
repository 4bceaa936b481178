// Group 4 (MMR, T.6) page decoder.
#pragma once

#include "codec/fax/g3_decoder.h"

namespace tamarind {

// Searches for a plausible line start after damaged data: behind at least
// |sync_run| - 1 bytes of 0xFF whose last 1 bit is followed by 000 or 001,
// starting no earlier than |sync_position| (which it moves past the byte
// found). 0 with the reader on that first 0 bit, else the failed fetch code.
int FindSyncRun(FaxBitReader& reader, int32_t& sync_position, uint8_t sync_run);

class MmrDecoder : public G3Decoder {
 public:
  MmrDecoder(std::span<const uint8_t> data, uint8_t bit_order, uint8_t variant, uint8_t invert, uint8_t sync_run);

  // Fills |page|, and stops once the expected lines are stored (data after
  // them is not read). 0 normal end, -1 bad variant (page untouched) or
  // allocation failure (height 0), -11 data ended before any line, -12
  // invalid code with no sync run after it.
  int DecodeMmrPage(FaxPage& page);

 private:
  uint8_t variant_;
  uint8_t sync_run_;
  int32_t sync_position_ = 0;
};

}  // namespace tamarind
