#include "codec/tiff/memory_tiff.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <limits>
#include <new>

namespace tamarind::tiff_internal {

namespace {

using File = MemoryTiff::File;

File& FileOf(thandle_t handle) { return *static_cast<File*>(handle); }

tmsize_t ReadProc(thandle_t handle, void* data, tmsize_t size) {
  File& file = FileOf(handle);
  if (size < 0 || file.position >= file.bytes.size()) return 0;
  const uint64_t count = std::min<uint64_t>(static_cast<uint64_t>(size), file.bytes.size() - file.position);
  std::memcpy(data, file.bytes.data() + file.position, count);
  file.position += count;
  return static_cast<tmsize_t>(count);
}

tmsize_t WriteProc(thandle_t handle, void* data, tmsize_t size) {
  File& file = FileOf(handle);
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
  File& file = FileOf(handle);
  uint64_t base = 0;
  if (whence == SEEK_CUR) base = file.position;
  if (whence == SEEK_END) base = file.bytes.size();
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
  static_cast<File*>(user_data)->error = std::string(module ? module : "libtiff") + ": " + text;
  return 1;
}

int IgnoreWarning(TIFF*, void*, const char*, const char*, va_list) { return 1; }

struct OptionsDeleter {
  void operator()(TIFFOpenOptions* options) const { TIFFOpenOptionsFree(options); }
};

}  // namespace

platform::Expected<std::unique_ptr<MemoryTiff>> MemoryTiff::Create() {
  auto tiff = std::make_unique<MemoryTiff>();
  std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
  if (!options) return platform::Failure{"out of memory"};
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), KeepError, &tiff->file_);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreWarning, nullptr);
  tiff->tiff_ = TIFFClientOpenExt("memory", "wl", &tiff->file_, ReadProc, WriteProc, SeekProc, CloseProc, SizeProc,
                                  MapProc, UnmapProc, options.get());
  if (!tiff->tiff_) return platform::Failure{tiff->Reason("libtiff cannot start a file")};
  return tiff;
}

MemoryTiff::~MemoryTiff() {
  // Dropping the file: nothing of it is wanted any more.
  if (tiff_) TIFFCleanup(tiff_);
}

bool MemoryTiff::Close() {
  if (!tiff_) return false;
  TIFF* tiff = tiff_;
  tiff_ = nullptr;
  const bool flushed = TIFFFlush(tiff) != 0;
  TIFFClose(tiff);
  return flushed && file_.error.empty();
}

std::string MemoryTiff::Reason(const std::string& fallback) const {
  return file_.error.empty() ? fallback : file_.error;
}

void SetGroup4PageFields(TIFF* tiff, const FaxPage& page) {
  TIFFSetField(tiff, TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.width));
  TIFFSetField(tiff, TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.height));
  TIFFSetField(tiff, TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tiff, TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tiff, TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(tiff, TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tiff, TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  TIFFSetField(tiff, TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(page.height));
}

platform::Status CheckPageGeometry(const FaxPage& page) {
  if (page.width <= 0 || page.height <= 0) return platform::Failure{"the page has no rows"};
  const int64_t needed = int64_t{page.height} * page.bytes_per_row;
  if (page.bytes_per_row < (int64_t{page.width} + 7) / 8 || needed > static_cast<int64_t>(page.bits.size()))
    return platform::Failure{"the page's bitmap is smaller than its size"};
  return {};
}

}  // namespace tamarind::tiff_internal
