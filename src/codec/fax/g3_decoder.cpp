// Placeholder until the decoder lands: decodes nothing.
#include "codec/fax/g3_decoder.h"

namespace tamarind {

G3Decoder::G3Decoder(std::span<const uint8_t>, uint8_t, uint8_t, uint8_t) {}
void G3Decoder::SetPageSize(int32_t, int32_t) {}
int G3Decoder::DecodeG3Page(FaxPage&) { return 0; }

}  // namespace tamarind
