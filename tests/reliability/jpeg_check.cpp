#include "jpeg_check.h"

#include <cstdio>

#include "support/test_files.h"

namespace tamarind::test {

JpegCheck CheckJpegFile(const std::string& path) {
  // -verbose traces the frame header, which gives the size.
  const CommandResult decoded = RunCommand("djpeg -verbose -outfile /dev/null " + ShellQuote(path) + " 2>&1");
  const std::string& said = decoded.output;
  JpegCheck check;
  const size_t frame = said.find("Start Of Frame 0x");
  check.complete =
      decoded.exitCode == 0 && frame != std::string::npos &&
      std::sscanf(said.c_str() + frame, "Start Of Frame 0x%*x: width=%d, height=%d", &check.width, &check.height) == 2;
  if (!check.complete) check.problem = said.substr(said.rfind('\n', said.size() - 2) + 1);
  return check;
}

}  // namespace tamarind::test
