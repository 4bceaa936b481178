// The page as an 8-bit greyscale BMP with square pixels.
#pragma once

#include <cstdint>

#include "codec/fax/fax_page.h"
#include "codec/fax/page_limits.h"
#include "platform/temp_file.h"

namespace tamarind {

// Size of the file header, information header and 256-entry palette that
// precede the pixel data.
inline constexpr int64_t kPageBmpHeaderBytes = 1078;

// Rewrites |file| with |page|: 0 written; -1 the row buffers cannot be
// allocated; -3 the file cannot be written; -4 page too large (over
// kMaxPageDimension or kMaxPagePixels after repetition) or its geometry does
// not fit its bitmap. (-2 is never returned: the palette is part of the
// fixed header.) On -1 and -4 the file is not touched; on -3 it is left
// empty, and |cause| (when given) gets the file's failure with the
// system's reason ("No space left on device", "File too large").
//
// Each page row becomes width bytes (255 white, 0 black) padded to a
// multiple of 4 with the page's own trailing bits, stored bottom-up and
// repeated x_resolution / y_resolution times (at least once) so that the
// pixels come out square.
int WritePageBmp(const FaxPage& page, platform::PrivateTempFile& file, platform::Status* cause = nullptr);

}  // namespace tamarind
