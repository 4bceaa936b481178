#include "app/thumbnail.h"

#include <optional>

#include "app/page_preview.h"
#include "app/startup.h"
#include "codec/png/png_writer.h"
#include "platform/console.h"
#include "platform/string_extras.h"

namespace tamarind {

platform::Status WriteThumbnail(const std::string& input, const std::string& output, int size) {
  platform::Expected<GreyPicture> picture = RenderFirstPageAnyName(input, size, size);
  if (!picture) return platform::Failure{input + ": " + picture.reason()};
  return WriteGreyPng(output, picture->width, picture->height, picture->samples);
}

int RunThumbnail(std::span<const std::string> arguments) {
  const std::optional<int64_t> size =
      arguments.size() == 3 ? platform::ParseDecimal(arguments[2]) : std::optional<int64_t>();
  if (!size || *size < 1 || *size > kMaxThumbnailSize) {
    platform::WriteErr("tamarind: usage: tamarind " + std::string(kThumbnailSwitch) +
                       " INPUT OUTPUT SIZE (SIZE: 1 to " + std::to_string(kMaxThumbnailSize) + " pixels)\n");
    return kExitUsage;
  }
  if (platform::Status written = WriteThumbnail(arguments[0], arguments[1], static_cast<int>(*size)); !written) {
    platform::WriteErr("tamarind: no thumbnail: " + platform::EscapeControlBytes(written.reason()) + "\n");
    return kExitFailures;
  }
  return kExitConverted;
}

}  // namespace tamarind
