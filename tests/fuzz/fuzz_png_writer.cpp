// Grey pictures of fuzzed sizes and samples through the PNG writer, read
// back with libpng: a picture is written when its samples fill it exactly,
// and then decodes to them; anything else is refused with the file that
// was there before left as it was.
#include <png.h>

#include <string>
#include <vector>

#include "codec/png/png_writer.h"
#include "fuzz_input.h"

namespace {

using tamarind::fuzz::Expect;

void CheckDecodes(const std::string& path, int width, int height, const std::vector<uint8_t>& samples) {
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  Expect(png_image_begin_read_from_file(&image, path.c_str()) != 0, "libpng reads the picture's header");
  Expect(image.width == static_cast<png_uint_32>(width) && image.height == static_cast<png_uint_32>(height) &&
             image.format == PNG_FORMAT_GRAY,
         "an 8-bit grey picture of its size");
  std::vector<uint8_t> decoded(PNG_IMAGE_SIZE(image));
  Expect(png_image_finish_read(&image, nullptr, decoded.data(), 0, nullptr) != 0, "libpng decodes the picture");
  Expect(decoded == samples, "the samples come back");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const tamarind::fuzz::ScratchFolder scratch("fuzz-png");
  FuzzedDataProvider in(data, size);
  const int width = in.ConsumeIntegralInRange(-1, 300);
  const int height = in.ConsumeIntegralInRange(-1, 300);
  const int64_t pixels = int64_t{std::max(width, 0)} * std::max(height, 0);
  if (pixels > (1 << 16)) return 0;
  const int64_t missing = in.ConsumeIntegralInRange(-1, 16) == 0 ? in.ConsumeIntegralInRange(-2, 2) : 0;
  std::vector<uint8_t> samples(static_cast<size_t>(std::max<int64_t>(0, pixels + missing)));
  const std::vector<uint8_t> pattern = in.ConsumeBytes<uint8_t>(in.ConsumeIntegralInRange(1, 300));
  for (size_t i = 0; !pattern.empty() && i < samples.size(); ++i)
    samples[i] = static_cast<uint8_t>(pattern[i % pattern.size()] + i / pattern.size());
  const std::vector<uint8_t> before = in.ConsumeRemainingBytes<uint8_t>();

  const std::string path = scratch.File("thumbnail.png");
  tamarind::fuzz::WriteBytes(path, before);
  const bool whole = width > 0 && height > 0 && missing == 0;
  Expect(tamarind::WriteGreyPng(path, width, height, samples).ok() == whole, "a picture is written when whole");
  if (whole) CheckDecodes(path, width, height, samples);
  else Expect(tamarind::fuzz::FileBytes(path) == before, "a refused picture leaves the file as it was");
  return 0;
}
