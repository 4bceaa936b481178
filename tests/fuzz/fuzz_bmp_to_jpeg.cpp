// Feeds arbitrary bytes to the JPEG stage as its BMP: every input must end
// in a result code (never an exit or a crash) and leave no temporary file.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <span>

#include "codec/jpeg/jpeg_writer.h"
#include "fuzz_input.h"
#include "platform/temp_file.h"

namespace {

// A scratch folder and the temporary BMP in it.
struct Workspace {
  tamarind::fuzz::ScratchFolder scratch{"fuzz-jpeg"};
  const std::string& folder = scratch.Path();
  std::unique_ptr<tamarind::platform::PrivateTempFile> bmp = [this] {
    auto created = tamarind::platform::PrivateTempFile::Create(folder, "input", ".bmp");
    tamarind::fuzz::Expect(created.ok(), "a temporary BMP can be made");
    return std::move(*created);
  }();
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static Workspace workspace;
  if (!workspace.bmp->Truncate() || !workspace.bmp->Write(std::span(data, size))) abort();
  const std::string jpeg = tamarind::platform::JoinPath(workspace.folder, "out.jpg");
  const bool optimize = size > 0 && (data[size - 1] & 1);
  const int result = tamarind::WriteJpegFromBmp(*workspace.bmp, jpeg, 75, true, optimize);
  if (result != 0 && result != 2 && result != 3) abort();
  // Only the input and, after a success, the JPEG may be left.
  size_t files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(workspace.folder)) {
    (void)entry;
    ++files;
  }
  if (files > 2) abort();
  std::filesystem::remove(jpeg);
  return 0;
}
