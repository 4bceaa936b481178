#include "codec/bmp/page_bmp.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <new>
#include <optional>
#include <vector>

#include "codec/fax/page_geometry.h"

namespace tamarind {

namespace {

// Rows are gathered into blocks of about this size so that a page costs a
// few large writes, never one per row and never the whole image at once.
constexpr int64_t kBlockBytes = 1 << 20;

struct BmpGeometry {
  int64_t width = 0;
  int64_t pageRows = 0;
  int64_t repeat = 1;      // stored rows per page row
  int64_t storedRows = 0;  // pageRows * repeat
  int64_t stride = 0;      // width rounded up to 4 bytes, as the header implies
};

// Null when the page is too large for the JPEG stage or its bitmap is
// shorter than its geometry claims.
std::optional<BmpGeometry> Measure(const FaxPage& page) {
  const PageGeometry page_geometry(page);
  if (!page_geometry.FitsOutputLimits() || !HoldsRows(page)) return std::nullopt;
  BmpGeometry g;
  g.width = page_geometry.Width();
  g.pageRows = page_geometry.Rows();
  g.repeat = page_geometry.RowRepeat();
  g.storedRows = page_geometry.OutputHeight();
  g.stride = (g.width + 3) / 4 * 4;
  return g;
}

void Put16(uint8_t* at, uint32_t value) {
  at[0] = static_cast<uint8_t>(value);
  at[1] = static_cast<uint8_t>(value >> 8);
}

void Put32(uint8_t* at, uint32_t value) {
  Put16(at, value & 0xFFFF);
  Put16(at + 2, value >> 16);
}

using BmpHeader = std::array<uint8_t, kPageBmpHeaderBytes>;

BmpHeader BuildHeader(const BmpGeometry& g) {
  BmpHeader h{};
  h[0] = 'B';
  h[1] = 'M';
  Put32(&h[2], static_cast<uint32_t>(kPageBmpHeaderBytes + g.stride * g.storedRows));
  Put32(&h[10], static_cast<uint32_t>(kPageBmpHeaderBytes));
  Put32(&h[14], 40);
  Put32(&h[18], static_cast<uint32_t>(g.width));
  Put32(&h[22], static_cast<uint32_t>(g.storedRows));
  Put16(&h[26], 1);    // planes
  Put16(&h[28], 8);    // bits per pixel
  Put32(&h[46], 256);  // colours used
  for (int i = 0; i < 256; ++i) {
    uint8_t* entry = &h[54 + 4 * i];
    entry[0] = entry[1] = entry[2] = static_cast<uint8_t>(i);
  }
  return h;
}

// Eight sample bytes for every value of a page byte, most significant bit
// first: 255 for a white (1) bit, 0 for black.
constexpr std::array<std::array<uint8_t, 8>, 256> MakeExpansion() {
  std::array<std::array<uint8_t, 8>, 256> table{};
  for (int value = 0; value < 256; ++value) {
    for (int bit = 0; bit < 8; ++bit) table[value][bit] = (value & (0x80 >> bit)) ? 0xFF : 0x00;
  }
  return table;
}
constexpr auto kExpansion = MakeExpansion();

// Fills |out| with the samples of |bits|; the stride never exceeds the
// byte-padded row, so the padding holds the row's own trailing bits.
// Fax rows are mostly long white or black runs: eight page bytes of one
// colour become 64 samples in one fill instead of eight table copies.
void ExpandRow(std::span<const uint8_t> bits, std::span<uint8_t> out) {
  const size_t whole = out.size() / 8;
  size_t j = 0;
  for (; j + 8 <= whole; j += 8) {
    uint64_t group;
    std::memcpy(&group, &bits[j], sizeof group);
    if (group == ~uint64_t{0} || group == 0) {
      std::memset(&out[8 * j], group ? 0xFF : 0x00, 64);
    } else {
      for (size_t k = j; k < j + 8; ++k) std::memcpy(&out[8 * k], kExpansion[bits[k]].data(), 8);
    }
  }
  for (; j < whole; ++j) std::memcpy(&out[8 * j], kExpansion[bits[j]].data(), 8);
  if (size_t rest = out.size() % 8) std::memcpy(&out[8 * whole], kExpansion[bits[whole]].data(), rest);
}

// Writes the stored rows from |offset| on, bottom row first, a block at a
// time.
platform::Status WritePixels(const FaxPage& page, const BmpGeometry& g, std::vector<uint8_t>& block,
                             std::vector<uint8_t>& row, platform::PrivateTempFile& file, int64_t offset) {
  const size_t stride = static_cast<size_t>(g.stride);
  const size_t capacity = block.size() / std::max<size_t>(stride, 1);
  size_t filled = 0;
  auto flush = [&] {
    platform::Status written = file.WriteAt(offset, std::span(block).first(filled * stride));
    offset += static_cast<int64_t>(filled * stride);
    filled = 0;
    return written;
  };
  for (int64_t y = g.pageRows - 1; y >= 0; --y) {
    ExpandRow(page.Row(static_cast<int32_t>(y)), row);
    for (int64_t copy = 0; copy < g.repeat; ++copy) {
      std::memcpy(&block[filled * stride], row.data(), stride);
      if (++filled < capacity) continue;
      if (platform::Status written = flush(); !written) return written;
    }
  }
  return filled == 0 ? platform::Status() : flush();
}

// Writes the whole file through |map|, bottom row first, each repeated row
// copied from the one just expanded.
void FillMap(const FaxPage& page, const BmpGeometry& g, const BmpHeader& header, std::span<uint8_t> map) {
  std::memcpy(map.data(), header.data(), header.size());
  const size_t stride = static_cast<size_t>(g.stride);
  uint8_t* out = map.data() + kPageBmpHeaderBytes;
  for (int64_t y = g.pageRows - 1; y >= 0; --y) {
    ExpandRow(page.Row(static_cast<int32_t>(y)), std::span(out, stride));
    for (int64_t copy = 1; copy < g.repeat; ++copy) std::memcpy(out + copy * stride, out, stride);
    out += g.repeat * stride;
  }
}

}  // namespace

int WritePageBmp(const FaxPage& page, platform::PrivateTempFile& file, platform::Status* cause) {
  std::optional<BmpGeometry> geometry = Measure(page);
  if (!geometry) return -4;
  const BmpGeometry& g = *geometry;
  const BmpHeader header = BuildHeader(g);
  const int64_t fileSize = kPageBmpHeaderBytes + g.stride * g.storedRows;
  // Leaves nothing that the JPEG stage could mistake for this page.
  auto failed = [&](platform::Status why) {
    (void)file.Truncate();
    if (cause) *cause = std::move(why);
    return -3;
  };

  // Stored straight into the file's pages where the system lets us map it:
  // no row buffers and no copy through write calls.
  if (std::span<uint8_t> map = file.MapForWriting(fileSize); !map.empty()) {
    FillMap(page, g, header, map);
    platform::Status resized = file.Resize(fileSize);
    return resized ? 0 : failed(std::move(resized));
  }

  std::vector<uint8_t> block;
  std::vector<uint8_t> row;
  if (g.stride > 0 && g.storedRows > 0) {
    try {
      int64_t rows = std::clamp<int64_t>(kBlockBytes / g.stride, 1, g.storedRows);
      block.resize(static_cast<size_t>(rows * g.stride));
      row.resize(static_cast<size_t>(g.stride));
    } catch (const std::bad_alloc&) {
      return -1;
    }
  }

  // The previous page is overwritten in place and the file cut to size
  // afterwards: emptying it first would make the file system free and
  // reallocate its blocks for every page.
  platform::Status written = file.WriteAt(0, header);
  if (written && !block.empty()) written = WritePixels(page, g, block, row, file, kPageBmpHeaderBytes);
  if (written) written = file.Resize(fileSize);
  return written ? 0 : failed(std::move(written));
}

}  // namespace tamarind
