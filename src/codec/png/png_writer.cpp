#include "codec/png/png_writer.h"

#include <png.h>

#include <memory>

#include "platform/atomic_file.h"

namespace tamarind {

platform::Status WriteGreyPng(const std::string& path, int width, int height, std::span<const uint8_t> samples) {
  using platform::Failure;
  if (width < 1 || height < 1 || samples.size() != static_cast<size_t>(width) * static_cast<size_t>(height))
    return Failure{path + ": no picture to write"};
  platform::Expected<std::unique_ptr<platform::AtomicOutputFile>> output = platform::AtomicOutputFile::Create(path);
  if (!output) return output.status();

  // libpng's simplified interface keeps its error jumps to itself, so no
  // longjmp crosses a frame of ours.
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(width);
  image.height = static_cast<png_uint_32>(height);
  image.format = PNG_FORMAT_GRAY;
  if (!png_image_write_to_stdio(&image, (*output)->Stream(), 0, samples.data(), width, nullptr)) {
    const std::string reason = path + ": " + image.message;
    png_image_free(&image);
    (void)(*output)->Discard();
    return Failure{reason};
  }
  return (*output)->Commit();
}

}  // namespace tamarind
