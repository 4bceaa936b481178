#include "support/page_images.h"

#include <algorithm>
#include <random>
#include <sstream>
#include <stdexcept>

namespace tamarind::test {

namespace {

FaxPage BlankPage(int width, int height, uint16_t yResolution) {
  FaxPage page;
  page.width = width;
  page.height = height;
  page.bytes_per_row = (width + 7) / 8;
  page.samples_per_pixel = 1;
  page.bits_per_pixel = 1;
  page.x_resolution = 200;
  page.y_resolution = yResolution;
  page.resolution_unit = 2;
  page.bits.assign(static_cast<size_t>(page.bytes_per_row) * height, 0xFF);
  return page;
}

bool IsWhite(const FaxPage& page, int x, int y) {
  return (page.Row(y)[static_cast<size_t>(x) / 8] & (0x80 >> (x % 8))) != 0;
}

}  // namespace

FaxPage RandomPage(int width, int height, uint16_t yResolution, uint32_t seed) {
  FaxPage page = BlankPage(width, height, yResolution);
  std::mt19937 random(seed);
  for (uint8_t& byte : page.bits) byte = static_cast<uint8_t>(random());
  return page;
}

FaxPage SolidPage(int width, int height, uint16_t yResolution, bool white) {
  FaxPage page = BlankPage(width, height, yResolution);
  std::fill(page.bits.begin(), page.bits.end(), white ? 0xFF : 0x00);
  return page;
}

FaxPage BlockPage(int width, int height, uint16_t yResolution, int blocks, uint32_t seed) {
  FaxPage page = BlankPage(width, height, yResolution);
  std::mt19937 random(seed);
  for (int n = 0; n < blocks; ++n) {
    const int x0 = static_cast<int>(random() % static_cast<uint32_t>(width));
    const int y0 = static_cast<int>(random() % static_cast<uint32_t>(height));
    const int x1 = std::min(width, x0 + 1 + static_cast<int>(random() % 40));
    const int y1 = std::min(height, y0 + 1 + static_cast<int>(random() % 30));
    for (int y = y0; y < y1; ++y)
      for (int x = x0; x < x1; ++x)
        page.bits[static_cast<size_t>(y) * page.bytes_per_row + x / 8] &= ~(0x80 >> (x % 8));
  }
  return page;
}

FaxPage PageFromBitmap(const Bitmap& bitmap, int width, uint16_t yResolution) {
  FaxPage page = BlankPage(width, bitmap.height, yResolution);
  for (int y = 0; y < bitmap.height; ++y)
    for (int x = 0; x < std::min(width, bitmap.width); ++x)
      if (bitmap.IsBlack(x, y)) page.bits[static_cast<size_t>(y) * page.bytes_per_row + x / 8] &= ~(0x80 >> (x % 8));
  return page;
}

GreyImage SquareSamples(const FaxPage& page) {
  const int repeat = std::max(1, page.y_resolution ? page.x_resolution / page.y_resolution : 1);
  GreyImage image;
  image.width = page.width;
  image.height = page.height * repeat;
  image.samples.reserve(static_cast<size_t>(image.width) * image.height);
  for (int y = 0; y < page.height; ++y) {
    for (int copy = 0; copy < repeat; ++copy) {
      for (int x = 0; x < page.width; ++x) image.samples.push_back(IsWhite(page, x, y) ? 255 : 0);
    }
  }
  return image;
}

std::string EncodePgm(const GreyImage& image) {
  std::string out = "P5\n" + std::to_string(image.width) + " " + std::to_string(image.height) + "\n255\n";
  out.append(image.samples.begin(), image.samples.end());
  return out;
}

std::string EncodePpm(int width, int height, const std::vector<uint8_t>& rgb) {
  std::string out = "P6\n" + std::to_string(width) + " " + std::to_string(height) + "\n255\n";
  out.append(rgb.begin(), rgb.end());
  return out;
}

GreyImage DecodePgm(const std::string& bytes) {
  std::istringstream in(bytes);
  std::string magic;
  int maxval = 0;
  GreyImage image;
  in >> magic >> image.width >> image.height >> maxval;
  if (magic != "P5" || maxval != 255 || image.width <= 0 || image.height <= 0)
    throw std::runtime_error("not a P5 file");
  in.get();  // one white-space byte ends the header
  image.samples.resize(static_cast<size_t>(image.width) * image.height);
  in.read(reinterpret_cast<char*>(image.samples.data()), static_cast<std::streamsize>(image.samples.size()));
  if (static_cast<size_t>(in.gcount()) != image.samples.size()) throw std::runtime_error("PGM cut short");
  return image;
}

}  // namespace tamarind::test
