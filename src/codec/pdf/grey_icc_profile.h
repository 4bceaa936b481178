// The ICC profile a PDF/A output intent embeds for its grey pages.
#pragma once

#include <cstdint>
#include <vector>

namespace tamarind::pdf_internal {

// A small ICC version 2 display profile for one grey channel with a 2.2
// gamma curve and the D50 white point: header, description, white point,
// grey curve and copyright, the tags such a profile must have. Made here
// so that no profile file has to ship; a bilevel page only ever uses its
// black and its white.
std::vector<uint8_t> GreyIccProfile();

}  // namespace tamarind::pdf_internal
