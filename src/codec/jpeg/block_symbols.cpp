#include "codec/jpeg/block_symbols.h"

#include "codec/jpeg/jpeg_tables.h"

namespace tamarind {

BlockSymbols SymbolsOf(const CoefficientBlock& block) {
  BlockSymbols symbols;
  symbols.dc = block[0];
  int run = 0;
  int count = 0;
  for (int k = 1; k < 64; ++k) {
    const int32_t value = block[kNaturalOrder[k]];
    if (value == 0) {
      ++run;
      continue;
    }
    for (; run > 15; run -= 16) symbols.ac[count++] = AcToken{0xF0} << 16;
    const int size = SizeOf(value);
    symbols.ac[count++] = static_cast<AcToken>((run << 4 | size) << 16) | ExtraBits(value, size);
    run = 0;
  }
  if (run > 0) symbols.ac[count++] = 0;  // end of block
  symbols.count = static_cast<uint8_t>(count);
  return symbols;
}

}  // namespace tamarind
