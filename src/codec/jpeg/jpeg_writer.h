// Compresses the temporary BMP into a JPEG file.
#pragma once

#include <string>

#include "platform/temp_file.h"

namespace tamarind {

// 0 written; 1 input or output cannot be opened; 2 written with warnings;
// 3 the JPEG library or the BMP reader raised an error (nothing written).
int WriteJpegFromBmp(const platform::PrivateTempFile& bmp, const std::string& jpegPath, int quality,
                     bool grayscale, bool optimize);

}  // namespace tamarind
