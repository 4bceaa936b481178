// What the fuzz targets share: the split of a decoder's input, fuzzed
// pages, a scratch folder of the run's own, and the check that aborts (so
// that libFuzzer keeps the input) naming the invariant that broke.
//
// Decoders' inputs: bytes 0-1 width (1..4096), byte 2 lines (1..512), byte
// 3 bit 0 bit order, bit 1 invert; the rest is coded data. Sizes are capped
// so runs stay fast.
#pragma once

#include <fuzzer/FuzzedDataProvider.h>
#include <stdlib.h>

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "codec/fax/fax_page.h"
#include "codec/fax/g3_decoder.h"
#include "platform/paths.h"
#include "platform/temp_file.h"

namespace tamarind::fuzz {

// A broken invariant: what broke, then abort.
inline void Expect(bool holds, const char* invariant) {
  if (holds) return;
  std::fprintf(stderr, "broken: %s\n", invariant);
  std::abort();
}

struct FuzzInput {
  int32_t width = 0;
  int32_t lines = 0;
  uint8_t bit_order = MsbFirst;
  uint8_t invert = 0;
  std::span<const uint8_t> coded;
};

inline bool SplitInput(const uint8_t* data, size_t size, FuzzInput& input) {
  if (size < 4) return false;
  input.width = 1 + ((data[0] | (data[1] << 8)) % 4096);
  input.lines = 1 + data[2] * 2;
  input.bit_order = (data[3] & 1) ? LsbFirst : MsbFirst;
  input.invert = (data[3] >> 1) & 1;
  input.coded = std::span<const uint8_t>(data + 4, size - 4);
  return true;
}

// What every decode must leave, whatever the data.
inline void CheckPage(const FaxPage& page, const FuzzInput& input) {
  Expect(page.height >= 0 && page.height <= input.lines, "the decoder keeps to the lines asked for");
  Expect(page.width == input.width, "the decoder keeps the width");
  Expect(page.bits.size() == static_cast<size_t>(page.height) * static_cast<size_t>(page.bytes_per_row),
         "the bitmap holds the rows decoded, no more");
}

// A page of at most |maxPixels|: a fax width (each resolution class) or a
// narrow one, any vertical resolution, and rows filled from a pattern of
// the input's bytes, so that rows differ where the pattern does not divide
// the row.
inline FaxPage FuzzedPage(FuzzedDataProvider& in, int64_t maxPixels) {
  static constexpr int32_t kFaxWidths[] = {1728, 2048, 2432, 2592, 3072, 3648, 3456, 4096, 4864};
  FaxPage page;
  page.width = in.ConsumeBool() ? kFaxWidths[in.ConsumeIntegralInRange<size_t>(0, std::size(kFaxWidths) - 1)]
                                : in.ConsumeIntegralInRange<int32_t>(1, 300);
  page.height =
      static_cast<int32_t>(in.ConsumeIntegralInRange<int64_t>(1, std::max<int64_t>(1, maxPixels / page.width)));
  page.bytes_per_row = (page.width + 7) / 8 + in.ConsumeIntegralInRange<int32_t>(0, 2);  // rows may be padded
  page.x_resolution = 200;
  page.y_resolution = in.ConsumeIntegral<uint16_t>();
  const std::vector<uint8_t> pattern = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange<size_t>(0, 64));
  page.bits.resize(static_cast<size_t>(page.bytes_per_row) * static_cast<size_t>(page.height), 0xFF);
  for (size_t i = 0; !pattern.empty() && i < page.bits.size(); ++i) page.bits[i] = pattern[i % pattern.size()];
  return page;
}

// Now and then spoils |page| as a failed decode or a caller's slip might:
// no rows, no columns, a bitmap a byte short, rows narrower than the
// width. Whether the page can still be coded.
inline bool MaybeSpoil(FuzzedDataProvider& in, FaxPage& page) {
  switch (in.ConsumeIntegralInRange(0, 15)) {
    case 0: page.height = 0; break;
    case 1: page.width = 0; break;
    case 2: page.bits.pop_back(); break;
    case 3: page.bytes_per_row = (page.width - 1) / 8; break;
    default: break;
  }
  return page.width > 0 && page.height > 0 && page.bytes_per_row >= (page.width + 7) / 8 &&
         page.bits.size() >= static_cast<size_t>(page.height) * static_cast<size_t>(page.bytes_per_row);
}

// True where the page is white.
inline bool White(const FaxPage& page, int32_t x, int32_t y) {
  return (page.Row(y)[static_cast<size_t>(x) / 8] >> (7 - x % 8)) & 1;
}

// Whether two pages show the same pixels (bits past the width aside).
inline bool SamePixels(const FaxPage& a, const FaxPage& b) {
  if (a.width != b.width || a.height != b.height) return false;
  for (int32_t y = 0; y < a.height; ++y)
    for (int32_t x = 0; x < a.width; ++x)
      if (White(a, x, y) != White(b, x, y)) return false;
  return true;
}

// A folder of this process's own below the system's temporary folder,
// removed with what it holds when the run ends normally.
class ScratchFolder {
 public:
  explicit ScratchFolder(const char* prefix) {
    std::string pattern = platform::JoinPath(platform::TempFolder(), std::string(prefix) + "-XXXXXX");
    Expect(mkdtemp(pattern.data()) != nullptr, "a scratch folder can be made");
    path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;

  const std::string& Path() const { return path_; }
  std::string File(std::string_view name) const { return platform::JoinPath(path_, name); }

 private:
  std::string path_;
};

// A scratch folder and one private temporary file in it (STEM*EXTENSION),
// made once and rewritten by each input.
struct ScratchWithFile {
  ScratchWithFile(const char* prefix, const char* stem, const char* extension) : scratch(prefix) {
    auto created = platform::PrivateTempFile::Create(scratch.Path(), stem, extension);
    Expect(created.ok(), "a temporary file can be made");
    file = std::move(*created);
  }

  ScratchFolder scratch;
  std::unique_ptr<platform::PrivateTempFile> file;
};

inline std::vector<uint8_t> FileBytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::string& path, std::span<const uint8_t> bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  Expect(static_cast<bool>(out.flush()), "a scratch file can be written");
}

}  // namespace tamarind::fuzz
