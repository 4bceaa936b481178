#include "preview/thumbnail.h"

#include "codec/png/png_writer.h"
#include "preview/page_preview.h"

namespace tamarind {

platform::Status WriteThumbnail(const std::string& input, const std::string& output, int size) {
  platform::Expected<GreyPicture> picture = RenderFirstPageAnyName(input, size, size);
  if (!picture) return picture.status();
  return WriteGreyPng(output, picture->width, picture->height, picture->samples);
}

}  // namespace tamarind
