// File-manager thumbnails: the first page of a fax as a small PNG, made by
// `tamarind --thumbnail INPUT OUTPUT SIZE`, which a desktop runs on every
// file it types as a WinFax fax (share/thumbnailers/tamarind.thumbnailer).
#pragma once

#include <string>

#include "platform/outcome.h"

namespace tamarind {

inline constexpr int kMaxThumbnailSize = 16384;

// Writes the first page of the WinFax file at |input| as a greyscale PNG
// named |output|, at most |size| pixels on its longer side, with square
// pixels. The file is judged by its content, not its name. Damaged and
// hostile files fail fast (see RenderFirstPage); on any failure nothing is
// written.
platform::Status WriteThumbnail(const std::string& input, const std::string& output, int size);

}  // namespace tamarind
