#include "cli/thumbnail_run.h"

#include <optional>

#include "cli/run_files.h"
#include "cli/startup.h"
#include "platform/console.h"
#include "platform/string_extras.h"
#include "preview/thumbnail.h"

namespace tamarind {

int RunThumbnail(std::span<const std::string> arguments) {
  const std::optional<int64_t> size =
      arguments.size() == 3 ? platform::ParseDecimal(arguments[2]) : std::optional<int64_t>();
  if (!size || *size < 1 || *size > kMaxThumbnailSize) {
    platform::WriteErr("tamarind: usage: tamarind " + std::string(kThumbnailSwitch) +
                       " INPUT OUTPUT SIZE (SIZE: 1 to " + std::to_string(kMaxThumbnailSize) + " pixels)\n");
    return kExitUsage;
  }
  if (platform::Status apart = CheckThumbnailFiles(arguments[0], arguments[1]); !apart) {
    platform::WriteErr("tamarind: " + apart.reason() + "\n");
    return kExitUsage;
  }
  if (platform::Status written = WriteThumbnail(arguments[0], arguments[1], static_cast<int>(*size)); !written) {
    platform::WriteErr("tamarind: no thumbnail: " + platform::EscapeControlBytes(written.reason()) + "\n");
    return kExitFailures;
  }
  return kExitConverted;
}

}  // namespace tamarind
