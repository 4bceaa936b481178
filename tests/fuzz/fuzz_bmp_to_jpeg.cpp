// Feeds arbitrary bytes to the JPEG stage as its BMP: every input must end
// in a result code (never an exit or a crash) and leave no temporary file.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <span>

#include "codec/jpeg/jpeg_writer.h"
#include "fuzz_input.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static tamarind::fuzz::ScratchWithFile workspace("fuzz-jpeg", "input", ".bmp");
  if (!workspace.file->Truncate() || !workspace.file->Write(std::span(data, size))) abort();
  const std::string jpeg = tamarind::platform::JoinPath(workspace.scratch.Path(), "out.jpg");
  const bool optimize = size > 0 && (data[size - 1] & 1);
  const int result = tamarind::WriteJpegFromBmp(*workspace.file, jpeg, 75, true, optimize);
  if (result != 0 && result != 2 && result != 3) abort();
  // Only the input and, after a success, the JPEG may be left.
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(workspace.scratch.Path())) {
    (void)entry;
    ++files;
  }
  if (files > 2) abort();
  std::filesystem::remove(jpeg);
  return 0;
}
