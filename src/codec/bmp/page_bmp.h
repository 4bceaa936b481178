// The page as an 8-bit greyscale BMP with square pixels.
#pragma once

#include "codec/fax/fax_page.h"
#include "platform/temp_file.h"

namespace tamarind {

// Rewrites |file| with |page|: 0 written; -1 pixel buffer, -2 palette, -3
// file cannot be written; -4 page too large.
int WritePageBmp(const FaxPage& page, platform::PrivateTempFile& file);

}  // namespace tamarind
