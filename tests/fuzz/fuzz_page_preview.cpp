// Feeds arbitrary bytes to the first-page preview as a WinFax file, as a
// file manager's thumbnailer would: any file must give a picture that fits
// the box asked for, or a reason.
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/paths.h"
#include "preview/page_preview.h"

namespace {

// The preview opens files by name, and judges them by it: the input goes
// to a file named like a fax. libFuzzer may end without running exit
// handlers, so the name is fixed: one file, overwritten by every run.
const std::string& InputPath() {
  static const std::string path = tamarind::platform::TempFolder() + "/tamarind-fuzz-page-preview.fxd";
  return path;
}

void WriteInput(const uint8_t* data, size_t size) {
  std::FILE* file = std::fopen(InputPath().c_str(), "wb");
  if (!file) std::abort();
  const bool written = std::fwrite(data, 1, size, file) == size;
  if (std::fclose(file) != 0 || !written) std::abort();
}

// Smaller than the preview's own limits, so that the fuzzer spends its time
// on many pages rather than on a few of the largest.
constexpr tamarind::PreviewLimits kLimits{.maxWidth = 4096, .maxPixels = int64_t{1} << 22, .maxCodedBytes = 1 << 20};

void Check(const std::string& path, int maxWidth, int maxHeight) {
  tamarind::platform::Expected<tamarind::GreyPicture> picture =
      tamarind::RenderFirstPage(path, maxWidth, maxHeight, kLimits);
  if (!picture) {
    if (picture.reason().empty()) std::abort();
    return;
  }
  if (picture->width < 1 || picture->height < 1 || picture->width > maxWidth || picture->height > maxHeight)
    std::abort();
  if (picture->samples.size() != static_cast<size_t>(picture->width) * static_cast<size_t>(picture->height))
    std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  WriteInput(data, size);
  Check(InputPath(), 256, 256);  // a thumbnail
  Check(InputPath(), 7, 300);    // a narrow box: rows shared by several pixels
  return 0;
}
