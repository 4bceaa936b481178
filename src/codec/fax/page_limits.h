// The largest page the output stages take. They live down here so that the
// reader can stop decoding a page as soon as it is certain to exceed them.
#pragma once

#include <cstdint>

namespace tamarind {

// Rows and columns after row repetition (the JPEG library's own limit), and
// pixels after repetition (2^27: 1728 x 77,672, far beyond any real fax).
inline constexpr int64_t kMaxPageDimension = 65500;
inline constexpr int64_t kMaxPagePixels = int64_t{1} << 27;

// The most coded bytes a page of |width| x |rows| pixels can need, in
// either coding. In data an encoder writes, every code but the first of a
// row moves the coding position on by at least one pixel, so the costliest
// page has a run or a change at every pixel:
//  - Group 4: a vertical code of three pixels' offset (7 bits) for each
//    changing element; horizontal mode with runs of one costs 3 + 6 + 3
//    bits for two pixels and a pass code 4 bits for two or more, so no
//    pixel ever needs more than 7 bits.
//  - Group 3 one-dimensional: white and black runs of one (6 + 3 bits for
//    two pixels), so 4.5 bits a pixel; the 2.5 bits to spare leave room for
//    lines that arrived damaged and are dropped.
// Per row come a zero-length white run at the start (8 bits), the EOL (12)
// and fill to the byte or the minimum line time (a few dozen bytes); per
// page the leading EOL and the closing RTC or EOFB. Data past this bound
// cannot add a row to the page, so the reader neither reads nor decodes it:
// for the largest page (2^27 pixels) that is at most about 121 MB, for an
// A4 page at fine resolution 6.4 MB.
inline constexpr int64_t kMaxCodeBitsPerPixel = 7;
inline constexpr int64_t kCodedBytesPerRowBesidesPixels = 64;
inline constexpr int64_t kCodedBytesPerPageBesidesRows = 4096;

constexpr int64_t MaxCodedBytes(int64_t width, int64_t rows) {
  if (width <= 0 || rows <= 0) return 0;
  return rows * ((width * kMaxCodeBitsPerPixel + 7) / 8 + kCodedBytesPerRowBesidesPixels) +
         kCodedBytesPerPageBesidesRows;
}

}  // namespace tamarind
