// The first page of a WinFax file as a small greyscale picture, for the
// window's preview and for file-manager thumbnails. The page is decoded by
// our own reader, given square pixels (standard-resolution rows count
// twice, superfine rows half) and scaled down by area averaging, so it
// shows every output format's page exactly as the fax holds it.
//
// Damaged and hostile files fail fast: the first page's header is checked
// against PreviewLimits before anything is read or decoded, which bounds
// both time and memory whatever the file claims.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "codec/fax/fax_page.h"
#include "platform/outcome.h"

namespace tamarind {

struct GreyPicture {
  int width = 0;
  int height = 0;
  std::vector<uint8_t> samples;  // rows top first; 0 black, 255 white

  uint8_t At(int x, int y) const { return samples[static_cast<size_t>(y) * static_cast<size_t>(width) + x]; }
};

// What a page may claim before a preview gives up on it. A real fax page is
// 1728 to 2432 pixels wide and a few thousand rows long.
struct PreviewLimits {
  int maxWidth = 8192;
  int64_t maxPixels = int64_t{1} << 26;       // width x rows, as coded
  int64_t maxCodedBytes = int64_t{16} << 20;  // the page's coded data
};

// |page| with square pixels, scaled down to fit |maxWidth| x |maxHeight|
// (never up: a page smaller than that keeps one pixel per square pixel).
// Each picture pixel is the average of the page area it covers.
GreyPicture ScalePage(const FaxPage& page, int maxWidth, int maxHeight);

// The first page of the WinFax file at |path|, as ScalePage gives it. Fails
// with the reason in the user's words, naming |path|, for a file that is
// not a WinFax file, cannot be read, holds no image, or claims more than
// |limits| allow.
platform::Expected<GreyPicture> RenderFirstPage(const std::string& path, int maxWidth, int maxHeight,
                                                const PreviewLimits& limits = {});

// The same for a file of any name: judged by its content alone, as a
// desktop that recognised it by its signature bytes has judged it.
platform::Expected<GreyPicture> RenderFirstPageAnyName(const std::string& path, int maxWidth, int maxHeight,
                                                       const PreviewLimits& limits = {});

}  // namespace tamarind
