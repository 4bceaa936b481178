// Pages of any shape and content through the bilevel encoder and through
// the temporary BMP and libjpeg: both must write the same bytes, and refuse
// the same pages.
//
// Input: width (2 bytes), height (1 byte), resolution code, quality,
// tables, then the page's bits (repeated to fill the page).
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <vector>

#include "codec/bmp/page_bmp.h"
#include "codec/jpeg/bilevel_jpeg.h"
#include "codec/jpeg/jpeg_writer.h"
#include "fuzz_input.h"

namespace {

constexpr size_t kHeaderBytes = 6;

tamarind::FaxPage PageOf(const uint8_t* data, size_t size) {
  tamarind::FaxPage page;
  page.width = (data[0] | data[1] << 8) % 700;
  page.height = data[2] % 80;
  page.bytes_per_row = (page.width + 7) / 8;
  page.x_resolution = 200;
  page.y_resolution = std::array<uint16_t, 4>{100, 200, 400, 0}[data[3] % 4];
  page.bits.resize(static_cast<size_t>(page.bytes_per_row) * page.height);
  for (size_t i = 0; i < page.bits.size(); ++i)
    page.bits[i] = size > kHeaderBytes ? data[kHeaderBytes + i % (size - kHeaderBytes)] : 0xFF;
  return page;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static tamarind::fuzz::ScratchWithFile workspace("fuzz-bilevel", "page", ".bmp");
  if (size < kHeaderBytes) return 0;
  const tamarind::FaxPage page = PageOf(data, size);
  const int quality = data[4] % 101;
  const bool optimize = data[5] & 1;

  const std::string reference = tamarind::platform::JoinPath(workspace.scratch.Path(), "reference.jpg");
  const bool referenceWrote = tamarind::WritePageBmp(page, *workspace.file) == 0 &&
                              tamarind::WriteJpegFromBmp(*workspace.file, reference, quality, true, optimize) == 0;
  std::optional<tamarind::BilevelJpeg> jpeg = tamarind::BilevelJpeg::Prepare(page, quality, optimize);
  if (jpeg.has_value() != referenceWrote) abort();
  if (!jpeg) return 0;

  char* buffer = nullptr;
  size_t length = 0;
  std::FILE* memory = open_memstream(&buffer, &length);
  if (!memory || !jpeg->Write(memory) || std::fclose(memory) != 0) abort();
  const bool same = tamarind::fuzz::FileBytes(reference) == std::vector<uint8_t>(buffer, buffer + length);
  std::free(buffer);
  std::filesystem::remove(reference);
  if (!same) abort();
  return 0;
}
