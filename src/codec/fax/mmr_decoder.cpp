// Placeholder until the decoder lands: decodes nothing.
#include "codec/fax/mmr_decoder.h"

namespace tamarind {

MmrDecoder::MmrDecoder(std::span<const uint8_t> data, uint8_t bit_order, uint8_t, uint8_t invert, uint8_t)
    : G3Decoder(data, bit_order, 0, invert) {}
int MmrDecoder::DecodeMmrPage(FaxPage&) { return -11; }

}  // namespace tamarind
