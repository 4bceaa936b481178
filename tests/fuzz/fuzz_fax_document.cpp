// Feeds arbitrary bytes through FaxDocument as a WinFax file: load, then
// decode every page the chain walk found.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <span>
#include <string>

#include "faxdoc/fax_document.h"
#include "platform/paths.h"
#include "platform/temp_file.h"

namespace {

tamarind::platform::PrivateTempFile& InputFile() {
  static auto made =
      tamarind::platform::PrivateTempFile::Create(tamarind::platform::TempFolder(), "fuzz-fax-document", ".fxd");
  if (!made) std::abort();
  return **made;
}

// The page must hold every row it claims, as the BMP writer reads them all.
void CheckPage(const tamarind::FaxPage& page) {
  if (page.height <= 0) return;
  if (page.width <= 0 || page.bytes_per_row != (page.width + 7) / 8) std::abort();
  if (page.bits.size() < static_cast<size_t>(page.height) * static_cast<size_t>(page.bytes_per_row)) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  tamarind::platform::PrivateTempFile& input = InputFile();
  if (!input.Truncate() || !input.Write(std::span(data, size))) std::abort();

  // The scratch file has no name; the reader opens it through its
  // descriptor's entry in /proc, as it would open any file by its path.
  tamarind::FaxDocument document;
  document.Load("/proc/self/fd/" + std::to_string(input.Descriptor()), tamarind::kWinFaxFormat);
  CheckPage(document.Page());
  for (int i = 1; i < document.PageCount(); ++i) {
    document.DecodePage(tamarind::kWinFaxFormat, i);
    CheckPage(document.Page());
  }
  return 0;
}
