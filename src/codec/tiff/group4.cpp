#include "codec/tiff/group4.h"

#include <algorithm>

#include "codec/tiff/memory_tiff.h"

namespace tamarind {

using platform::Failure;
using tiff_internal::MemoryTiff;

platform::Expected<std::vector<uint8_t>> EncodeGroup4(const FaxPage& page) {
  if (platform::Status geometry = tiff_internal::CheckPageGeometry(page); !geometry) return Failure{geometry.reason()};
  auto created = MemoryTiff::Create();
  if (!created) return Failure{created.reason()};
  MemoryTiff& scratch = **created;
  TIFF* tiff = scratch.Handle();
  tiff_internal::SetGroup4PageFields(tiff, page);

  // The page has 1 = white; a min-is-white image has 0 = white.
  const size_t rowBytes = static_cast<size_t>(page.width + 7) / 8;
  std::vector<uint8_t> row(rowBytes);
  for (int32_t y = 0; y < page.height; ++y) {
    std::span<const uint8_t> bits = page.Row(y).first(rowBytes);
    std::transform(bits.begin(), bits.end(), row.begin(), [](uint8_t b) { return static_cast<uint8_t>(~b); });
    if (TIFFWriteScanline(tiff, row.data(), static_cast<uint32_t>(y), 0) < 0)
      return Failure{scratch.Reason("Group 4 coding failed")};
  }
  // Ends the strip (the end-of-block code) and writes it out; the file then
  // holds its 8-byte header and the strip, whose place libtiff records.
  if (!TIFFFlushData(tiff)) return Failure{scratch.Reason("Group 4 coding failed")};
  uint64_t* offsets = nullptr;
  uint64_t* counts = nullptr;
  if (!TIFFGetField(tiff, TIFFTAG_STRIPOFFSETS, &offsets) || !TIFFGetField(tiff, TIFFTAG_STRIPBYTECOUNTS, &counts) ||
      offsets[0] + counts[0] > scratch.Bytes().size())
    return Failure{"Group 4 coding lost its strip"};
  const auto begin = scratch.Bytes().begin() + static_cast<std::ptrdiff_t>(offsets[0]);
  return std::vector<uint8_t>(begin, begin + static_cast<std::ptrdiff_t>(counts[0]));
}

}  // namespace tamarind
