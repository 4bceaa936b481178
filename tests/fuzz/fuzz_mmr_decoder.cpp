// Group 4 decoder on arbitrary coded data (layout in fuzz_input.h).
#include "codec/fax/mmr_decoder.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tamarind::fuzz::FuzzInput input;
  if (!tamarind::fuzz::SplitInput(data, size, input)) return 0;
  tamarind::MmrDecoder decoder(input.coded, input.bit_order, 0, input.invert, 3);
  decoder.SetPageSize(input.width, input.lines);
  tamarind::FaxPage page;
  decoder.DecodeMmrPage(page);
  tamarind::fuzz::CheckPage(page, input);
  return 0;
}
