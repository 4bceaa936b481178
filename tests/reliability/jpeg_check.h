// Whether a JPEG file on disk is whole: decoded to its last row by libjpeg
// with neither an error nor a warning (a file cut short decodes with only a
// warning, so warnings count).
#pragma once

#include <string>

namespace tamarind::test {

struct JpegCheck {
  bool complete = false;
  int width = 0;
  int height = 0;
  std::string problem;  // libjpeg's message when not complete
};

JpegCheck CheckJpegFile(const std::string& path);

}  // namespace tamarind::test
