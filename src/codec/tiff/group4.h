// Lossless Group 4 (T.6) coding of a decoded page, by libtiff's encoder.
#pragma once

#include <cstdint>
#include <vector>

#include "codec/fax/fax_page.h"
#include "platform/outcome.h"

namespace tamarind {

// The page's rows coded as one T.6 strip: the first bit of the code in each
// byte's most significant bit, white runs first as T.6 has them (so a
// decoder's 0 pixels are white), ending with the end-of-facsimile-block
// code. Pixels past the width in each row's last byte are not coded.
// Fails when the page has no rows or its bitmap does not hold them.
platform::Expected<std::vector<uint8_t>> EncodeGroup4(const FaxPage& page);

}  // namespace tamarind
