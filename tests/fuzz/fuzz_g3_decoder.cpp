// Group 3 decoder on arbitrary coded data (layout in fuzz_input.h).
#include "codec/fax/g3_decoder.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tamarind::fuzz::FuzzInput input;
  if (!tamarind::fuzz::SplitInput(data, size, input)) return 0;
  tamarind::G3Decoder decoder(input.coded, input.bit_order, tamarind::kCodingG3OneDimensional, input.invert);
  decoder.SetPageSize(input.width, input.lines);
  tamarind::FaxPage page;
  decoder.DecodeG3Page(page);
  tamarind::fuzz::CheckPage(page, input);
  return 0;
}
