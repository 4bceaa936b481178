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

// Pieces of the strip are handed on at this size: libtiff's own choice
// would be a buffer the size of the uncoded page.
constexpr tmsize_t kPieceBytes = tmsize_t{64} * 1024;

// The "file" libtiff's encoder writes: it writes the 8-byte TIFF header at
// the start, then appends the strip. The header is dropped and the strip
// passed on as it comes; nothing is kept. libtiff never reads it back (the
// directory, the one thing it would, is never written).
struct StripClient {
  explicit StripClient(const Group4Sink& to) : sink(to) {}

  const Group4Sink& sink;
  uint64_t position = 0;  // where libtiff writes next
  uint64_t end = 0;       // the length of the file libtiff believes it wrote
  bool refused = false;   // the sink refused a piece
  std::string error;      // libtiff's last message
};

StripClient& ClientOf(thandle_t handle) { return *static_cast<StripClient*>(handle); }

tmsize_t ReadProc(thandle_t, void*, tmsize_t) { return 0; }

tmsize_t WriteProc(thandle_t handle, void* data, tmsize_t size) {
  StripClient& client = ClientOf(handle);
  if (size < 0) return -1;
  const std::span<const uint8_t> bytes(static_cast<const uint8_t*>(data), static_cast<size_t>(size));
  if (client.position != 0) {
    // Only appending can be passed on: what is handed over is gone.
    if (client.position != client.end) return -1;
    if (!client.sink(bytes)) {
      client.refused = true;
      return -1;
    }
  }
  client.position += bytes.size();
  client.end = std::max(client.end, client.position);
  return size;
}

toff_t SeekProc(thandle_t handle, toff_t offset, int whence) {
  StripClient& client = ClientOf(handle);
  const uint64_t base = whence == SEEK_CUR ? client.position : whence == SEEK_END ? client.end : 0;
  client.position = base + offset;
  return client.position;
}

int CloseProc(thandle_t) { return 0; }
toff_t SizeProc(thandle_t handle) { return ClientOf(handle).end; }
int MapProc(thandle_t, void**, toff_t*) { return 0; }
void UnmapProc(thandle_t, void*, toff_t) {}

// Keeps libtiff's message for the caller's report instead of printing it.
int KeepError(TIFF*, void* user_data, const char* module, const char* format, va_list args) {
  char text[512];
  std::vsnprintf(text, sizeof text, format, args);
  static_cast<StripClient*>(user_data)->error = std::string(module ? module : "libtiff") + ": " + text;
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

std::string ReasonOf(const StripClient& client, const char* fallback) {
  if (client.refused) return "the output refused the coded page";
  return client.error.empty() ? fallback : client.error;
}

// libtiff set up to code |page| as one Group 4 strip into |client|.
std::unique_ptr<TIFF, TiffDeleter> OpenStrip(const FaxPage& page, StripClient& client) {
  std::unique_ptr<TIFFOpenOptions, OptionsDeleter> options(TIFFOpenOptionsAlloc());
  if (!options) return nullptr;
  TIFFOpenOptionsSetErrorHandlerExtR(options.get(), KeepError, &client);
  TIFFOpenOptionsSetWarningHandlerExtR(options.get(), IgnoreWarning, nullptr);
  std::unique_ptr<TIFF, TiffDeleter> tiff(TIFFClientOpenExt("strip", "wl", &client, ReadProc, WriteProc, SeekProc,
                                                            CloseProc, SizeProc, MapProc, UnmapProc, options.get()));
  if (!tiff) return nullptr;
  TIFFSetField(tiff.get(), TIFFTAG_IMAGEWIDTH, static_cast<uint32_t>(page.width));
  TIFFSetField(tiff.get(), TIFFTAG_IMAGELENGTH, static_cast<uint32_t>(page.height));
  TIFFSetField(tiff.get(), TIFFTAG_BITSPERSAMPLE, 1);
  TIFFSetField(tiff.get(), TIFFTAG_SAMPLESPERPIXEL, 1);
  TIFFSetField(tiff.get(), TIFFTAG_COMPRESSION, COMPRESSION_CCITTFAX4);
  TIFFSetField(tiff.get(), TIFFTAG_PHOTOMETRIC, PHOTOMETRIC_MINISWHITE);
  TIFFSetField(tiff.get(), TIFFTAG_FILLORDER, FILLORDER_MSB2LSB);
  TIFFSetField(tiff.get(), TIFFTAG_ROWSPERSTRIP, static_cast<uint32_t>(page.height));
  if (!TIFFWriteBufferSetup(tiff.get(), nullptr, kPieceBytes)) return nullptr;
  return tiff;
}

}  // namespace

platform::Status CheckCodable(const FaxPage& page) {
  if (page.width <= 0 || page.height <= 0) return Failure{"the page has no rows"};
  if (!HoldsRows(page)) return Failure{"the page's bitmap is smaller than its size"};
  return {};
}

platform::Status EncodeGroup4(const FaxPage& page, const Group4Sink& sink) {
  if (platform::Status codable = CheckCodable(page); !codable) return codable;
  StripClient client(sink);
  std::unique_ptr<TIFF, TiffDeleter> tiff = OpenStrip(page, client);
  if (!tiff) return Failure{ReasonOf(client, "libtiff cannot start a strip")};
  // The page has 1 = white; a min-is-white image has 0 = white.
  const size_t rowBytes = static_cast<size_t>(page.width + 7) / 8;
  std::vector<uint8_t> row(rowBytes);
  for (int32_t y = 0; y < page.height; ++y) {
    std::span<const uint8_t> bits = page.Row(y).first(rowBytes);
    std::transform(bits.begin(), bits.end(), row.begin(), [](uint8_t b) { return static_cast<uint8_t>(~b); });
    if (TIFFWriteScanline(tiff.get(), row.data(), static_cast<uint32_t>(y), 0) < 0)
      return Failure{ReasonOf(client, "Group 4 coding failed")};
  }
  // Ends the strip (the end-of-block code) and hands over its last piece.
  if (!TIFFFlushData(tiff.get())) return Failure{ReasonOf(client, "Group 4 coding failed")};
  return {};
}

platform::Expected<std::vector<uint8_t>> EncodeGroup4(const FaxPage& page) {
  std::vector<uint8_t> strip;
  platform::Status coded = EncodeGroup4(page, [&](std::span<const uint8_t> piece) {
    try {
      strip.insert(strip.end(), piece.begin(), piece.end());
    } catch (const std::bad_alloc&) {
      return false;
    }
    return true;
  });
  if (!coded) return std::move(coded).failure();
  return strip;
}

}  // namespace tamarind
