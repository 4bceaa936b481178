// Whether a JPEG file on disk is whole: djpeg, an independent decoder,
// reads it to its last row with neither an error nor a warning (a file cut
// short decodes with only a warning, which djpeg's exit status tells).
#pragma once

#include <string>

namespace tamarind::test {

struct JpegCheck {
  bool complete = false;
  int width = 0;
  int height = 0;
  std::string problem;  // djpeg's last message when not complete
};

JpegCheck CheckJpegFile(const std::string& path);

}  // namespace tamarind::test
