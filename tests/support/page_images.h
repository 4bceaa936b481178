// Test pages and greyscale images: random and rendered fax pages, the
// samples a page must become, and the PNM files the oracle tools read and
// write.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/fax/fax_page.h"
#include "support/real_pages.h"

namespace tamarind::test {

struct GreyImage {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> samples;  // rows top first, one byte per pixel

  uint8_t At(int x, int y) const { return samples[static_cast<size_t>(y) * width + x]; }
};

// A page of |width| x |height| random pixels at 200 x |yResolution| dpi.
// Bits past the width in each row's last byte are random too.
FaxPage RandomPage(int width, int height, uint16_t yResolution, uint32_t seed);

// A page of one colour.
FaxPage SolidPage(int width, int height, uint16_t yResolution, bool white);

// A white page with |blocks| random black rectangles of up to 40 x 30
// pixels: runs and changes spaced as on a page of text, which codes
// through every mode of Group 4 (noise codes almost only vertical modes).
FaxPage BlockPage(int width, int height, uint16_t yResolution, int blocks, uint32_t seed);

// |bitmap| as a page, cut or padded with white to |width|.
FaxPage PageFromBitmap(const Bitmap& bitmap, int width, uint16_t yResolution);

// What the page must look like once its pixels are square: 0 black, 255
// white, each row repeated 200 / yResolution times (at least once).
GreyImage SquareSamples(const FaxPage& page);

// P5 with maxval 255, and P6 from red, green, blue triples.
std::string EncodePgm(const GreyImage& image);
std::string EncodePpm(int width, int height, const std::vector<uint8_t>& rgb);
// Reads a P5 file with maxval 255, as djpeg and netpbm write it (no
// comments); throws on anything else.
GreyImage DecodePgm(const std::string& bytes);

}  // namespace tamarind::test
