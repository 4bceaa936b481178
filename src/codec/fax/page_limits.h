// The largest page the output stages take. They live down here so that the
// reader can stop decoding a page as soon as it is certain to exceed them.
#pragma once

#include <cstdint>

namespace tamarind {

// Rows and columns after row repetition (the JPEG library's own limit), and
// pixels after repetition (2^27: 1728 x 77,672, far beyond any real fax).
inline constexpr int64_t kMaxPageDimension = 65500;
inline constexpr int64_t kMaxPagePixels = int64_t{1} << 27;

}  // namespace tamarind
