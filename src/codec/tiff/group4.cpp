#include "codec/tiff/group4.h"

#include <tiffio.h>

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <memory>
#include <new>
#include <string>

#include "codec/fax/page_geometry.h"

namespace tamarind {

using platform::Failure;

namespace {

// The file libtiff's encoder writes into: memory, since all that is wanted
// of it is the coded strip.
struct MemoryFile {
  std::vector<uint8_t> bytes;
  uint64_t position = 0;
  std::string error;  // libtiff's last message
};

MemoryFile& FileOf(thandle_t handle) { return *static_cast<MemoryFile*>(handle); }

tmsize_t ReadProc(thandle_t handle, void* data, tmsize_t size) {
  MemoryFile& file = FileOf(handle);
  if (size < 0 || file.position >= file.bytes.size()) return 0;
  const uint64_t count = std::min<uint64_t>(static_cast<uint64_t>(size), file.bytes.size() - file.position);
  std::memcpy(data, file.bytes.data() + file.position, count);
  file.position += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t WriteProc(thandle_t handle, void* data, tmsize_t size) {
  MemoryFile& file = FileOf(handle);
  if (size < 0) return -1;
  const uint64_t end = file.position + static_cast<uint64_t>(size);
  try {
    if (end > file.bytes.size()) file.bytes.resize(end);
  } catch (const std::bad_alloc&) {
    return -1;
  }
  std::memcpy(file.bytes.data() + file.position, data, static_cast<size_t>(size));
  file.position = end;
  return size;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
  MemoryFile& file = FileOf(handle);
  const uint64_t base = whence == SEEK_CUR ? file.position : whence == SEEK_END ? file.bytes.size() : 0;
  file.position = base + offset;
  return file.position;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle) { return FileOf(handle).bytes.size(); }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

// Keeps libtiff's message for the caller's report instead of printing it.
int KeepError(TIFF*, void* user_data, const char* module, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  static_cast<MemoryFile*>(user_data)->error = std::string(module ? module : "libtiff") + ": " + text;
  return 1;
}

int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct OptionsDeleter {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

// Frees the TIFF without writing its directory: only the strip is wanted.
struct TiffDeleter {
  void operator()(TIFF* tiff) const { TIFFCleanup(tiff); }
};

std::string ReasonOf(const MemoryFile& file, const char* fallback) {
  return file.error.empty() ? fallback : file.error;
}

platform::Status CheckPageGeometry(const FaxPage& page) {
  if (page.width <= 0 || page.height <= 0) return Failure{"the page has no rows"};
  if (!HoldsRows(page)) return Failure{"the page's bitmap is smaller than its size"};
  return {};
}

}  // namespace

platform::Expected<std::vector<uint8_t>> EncodeGroup4(const FaxPage& page) {
  if (platform::Status geometry = CheckPageGeometry(page); !geometry) return Failure{geometry.reason()};
  MemoryFile file;
  std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
  if (!options) return Failure{"out of memory"};
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), KeepError, &file);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreWarning, nullptr);
  std::unique_ptr<TIFF, TiffDeleter> tiff(TIFFClientOpenExt("memory", "wl", &file, ReadProc, WriteProc, SeekProc,
                                                            CloseProc, SizeProc, MapProc, UnmapProc, options.get()));
  if (!tiff) return Failure{ReasonOf(file, "libtiff cannot start a file")};
  TIFFSetField(tiff.get(), TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.width));
  TIFFSetField(tiff.get(), TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.height));
  TIFFSetField(tiff.get(), TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tiff.get(), TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(tiff.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tiff.get(), TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  TIFFSetField(tiff.get(), TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(page.height));

  // The page has 1 = white; a min-is-white image has 0 = white.
  const size_t rowBytes = static_cast<size_t>(page.width + 7) / 8;
  std::vector<uint8_t> row(rowBytes);
  for (int32_t y = 0; y < page.height; ++y) {
    std::span<const uint8_t> bits = page.Row(y).first(rowBytes);
    std::transform(bits.begin(), bits.end(), row.begin(), [](uint8_t b) { return static_cast<uint8_t>(~b); });
    if (TIFFWriteScanline(tiff.get(), row.data(), static_cast<uint32_t>(y), 0) < 0)
      return Failure{ReasonOf(file, "Group 4 coding failed")};
  }
  // Ends the strip (the end-of-block code) and writes it out; the file then
  // holds its 8-byte header and the strip, whose place libtiff records.
  if (!TIFFFlushData(tiff.get())) return Failure{ReasonOf(file, "Group 4 coding failed")};
  uint64_t* offsets = nullptr;
  uint64_t* counts = nullptr;
  if (!TIFFGetField(tiff.get(), TIFFTAG_STRIPOFFSETS, &offsets) ||
      !TIFFGetField(tiff.get(), TIFFTAG_STRIPBYTECOUNTS, &counts) || offsets[0] + counts[0] > file.bytes.size())
    return Failure{"Group 4 coding lost its strip"};
  // Cut the strip out in place: a large page's code is not held twice.
  std::vector<uint8_t> strip = std::move(file.bytes);
  strip.resize(offsets[0] + counts[0]);
  strip.erase(strip.begin(), strip.begin() + static_cast<std::ptrdiff_t>(offsets[0]));
  return strip;
}

}  // namespace tamarind
