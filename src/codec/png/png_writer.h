// Greyscale pictures as PNG files: the thumbnails file managers show.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "platform/outcome.h"

namespace tamarind {

// Writes |samples|, |width| x |height| bytes with rows top first, as an
// 8-bit greyscale PNG named |path|. The file appears only when whole (see
// platform::AtomicOutputFile): on any failure nothing is written and an
// existing file of that name is untouched. The reason names |path|.
platform::Status WriteGreyPng(const std::string& path, int width, int height, std::span<const uint8_t> samples);

}  // namespace tamarind
