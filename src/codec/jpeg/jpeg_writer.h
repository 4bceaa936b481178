// Compresses the temporary BMP into a JPEG file.
#pragma once

#include <string>

#include "platform/atomic_file.h"
#include "platform/outcome.h"
#include "platform/temp_file.h"

namespace tamarind {

// 0 written; 1 input or output cannot be opened; 2 written with warnings;
// 3 the JPEG library or the BMP reader raised an error, or the output could
// not be completed (nothing written).
//
// The JPEG appears under |jpegPath| only when complete (see
// platform::AtomicOutputFile), so on any failure an existing file of that
// name is untouched. On failure |cause| (when given) says why, naming the
// JPEG: the system's reason for a failed write, or the library's message. |quality| is
// clamped to 1..100 by the library.
int WriteJpegFromBmp(const platform::PrivateTempFile& bmp, const std::string& jpegPath, int quality, bool grayscale,
                     bool optimize, platform::Status* cause = nullptr);

// Same into |output|, made by the caller (below an OutputFolder, with the
// options it chose), which this commits, or discards on failure.
int WriteJpegFromBmp(const platform::PrivateTempFile& bmp, platform::AtomicOutputFile& output, int quality,
                     bool grayscale, bool optimize, platform::Status* cause = nullptr);

// Same for the BMP file at |bmpPath|, which may be any uncompressed 8- or
// 24-bit BMP; 1 when it cannot be opened.
int WriteJpegFromBmpFile(const std::string& bmpPath, const std::string& jpegPath, int quality, bool grayscale,
                         bool optimize, platform::Status* cause = nullptr);

}  // namespace tamarind
