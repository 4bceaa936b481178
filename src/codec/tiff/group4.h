// Lossless Group 4 (T.6) coding of a decoded page, by libtiff's encoder.
#pragma once

#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "codec/fax/fax_page.h"
#include "platform/outcome.h"

namespace tamarind {

// Takes the next piece of a strip; false stops the coding (the output
// failed).
using Group4Sink = std::function<bool(std::span<const uint8_t> piece)>;

// Ok when |page| can be coded: it has rows, and its bitmap holds them.
platform::Status CheckCodable(const FaxPage& page);

// Codes the page's rows as one T.6 strip and hands it to |sink| in order,
// in pieces of at most 64 KiB as they are coded, so that no page is ever
// held coded in memory. The code: the first bit in each byte's most
// significant bit, white runs first as T.6 has them (so a decoder's 0
// pixels are white), ending with the end-of-facsimile-block code. Pixels
// past the width in each row's last byte are not coded. Fails before any
// piece when the page has no rows or its bitmap does not hold them, and
// when the sink refuses a piece.
platform::Status EncodeGroup4(const FaxPage& page, const Group4Sink& sink);

// The whole strip in memory, for formats that must know its length before
// they write it.
platform::Expected<std::vector<uint8_t>> EncodeGroup4(const FaxPage& page);

}  // namespace tamarind
