// Builds BMP files of any shape the reader may meet, valid or not.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace tamarind::test {

struct BmpLayout {
  int32_t width = 0;
  int32_t height = 0;
  uint16_t bitsPerPixel = 8;
  uint32_t infoBytes = 40;                      // 12 writes the OS/2 header and 3-byte palette entries
  std::vector<std::array<uint8_t, 3>> palette;  // red, green, blue
  int64_t coloursUsed = -1;                     // -1: the palette's size
  uint16_t planes = 1;
  uint32_t compression = 0;
  int32_t xPixelsPerMetre = 0;
  int32_t yPixelsPerMetre = 0;
  uint32_t gapBeforePixels = 0;  // bytes between the palette and the pixels
  int64_t pixelOffsetDelta = 0;  // added to the pixel-data offset field
  // Top row first, width bytes per row for 8 bits (indices) or 3 x width
  // (red, green, blue) for 24 bits; stored bottom-up and padded to 4 bytes.
  // Left empty, the file ends after the header and palette.
  std::vector<uint8_t> pixels;
};

inline void Put(std::vector<uint8_t>& out, uint64_t value, int bytes) {
  for (int i = 0; i < bytes; ++i) out.push_back(static_cast<uint8_t>(value >> (8 * i)));
}

inline std::vector<uint8_t> BuildBmp(const BmpLayout& layout) {
  const bool os2 = layout.infoBytes == 12;
  const size_t entryBytes = os2 ? 3 : 4;
  const size_t samples = static_cast<size_t>(layout.width) * (layout.bitsPerPixel == 24 ? 3 : 1);
  const size_t stride = (samples + 3) / 4 * 4;
  const uint64_t offset = 14 + layout.infoBytes + layout.palette.size() * entryBytes + layout.gapBeforePixels;
  const uint64_t rows = layout.height > 0 ? static_cast<uint64_t>(layout.height) : 0;

  std::vector<uint8_t> out = {'B', 'M'};
  Put(out, offset + stride * rows, 4);
  Put(out, 0, 4);
  Put(out, offset + layout.pixelOffsetDelta, 4);
  Put(out, layout.infoBytes, 4);
  if (os2) {
    Put(out, static_cast<uint32_t>(layout.width), 2);
    Put(out, static_cast<uint32_t>(layout.height), 2);
    Put(out, layout.planes, 2);
    Put(out, layout.bitsPerPixel, 2);
  } else {
    Put(out, static_cast<uint32_t>(layout.width), 4);
    Put(out, static_cast<uint32_t>(layout.height), 4);
    Put(out, layout.planes, 2);
    Put(out, layout.bitsPerPixel, 2);
    Put(out, layout.compression, 4);
    Put(out, 0, 4);
    Put(out, static_cast<uint32_t>(layout.xPixelsPerMetre), 4);
    Put(out, static_cast<uint32_t>(layout.yPixelsPerMetre), 4);
    Put(out, static_cast<uint32_t>(layout.coloursUsed < 0 ? layout.palette.size() : layout.coloursUsed), 4);
    Put(out, 0, 4);
    out.resize(14 + layout.infoBytes, 0);
  }
  for (const auto& rgb : layout.palette) {
    out.insert(out.end(), {rgb[2], rgb[1], rgb[0]});
    if (!os2) out.push_back(0);
  }
  out.resize(out.size() + layout.gapBeforePixels, 0x5A);
  for (uint64_t y = layout.pixels.empty() ? 0 : rows; y-- > 0;) {
    const uint8_t* row = layout.pixels.data() + y * samples;
    for (size_t x = 0; x < samples; ++x) {
      // 24-bit pixels are stored blue, green, red.
      out.push_back(layout.bitsPerPixel == 24 ? row[x - x % 3 + 2 - x % 3] : row[x]);
    }
    out.resize(out.size() + stride - samples, 0);
  }
  return out;
}

inline std::vector<std::array<uint8_t, 3>> GreyRamp() {
  std::vector<std::array<uint8_t, 3>> palette;
  for (int i = 0; i < 256; ++i) palette.push_back({uint8_t(i), uint8_t(i), uint8_t(i)});
  return palette;
}

}  // namespace tamarind::test
