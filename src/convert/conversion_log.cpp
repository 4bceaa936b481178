#include "convert/conversion_log.h"

#include "platform/files.h"
#include "platform/console.h"
#include "platform/paths.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

constexpr std::string_view kDashesLine = "--------------------------------------------------\n";

}  // namespace

platform::Status AppendToLog(const std::string& path, std::string_view text, bool createParents) {
  // A device (/dev/null) as the log is the way to run without one.
  if (path.empty() || platform::IsCharacterDevice(path)) return {};
  std::string_view folder = platform::FolderOf(path);
  if (!folder.empty()) {
    std::string folderText(folder);
    platform::Status ready = createParents ? platform::MakeFolders(folderText) : platform::MakeFolder(folderText);
    if (!ready) return std::move(ready).failure().WithPath(folderText);
  }
  std::string entry = platform::LocalTimeText("%Y-%m-%d %H:%M:%S\n");
  entry += text;
  entry += kDashesLine;
  // One write: two runs appending at the same moment keep their entries
  // whole.
  return platform::AppendWhole(path, entry);
}

bool AppendToLogOrSay(const std::string& path, std::string_view text, bool createParents) {
  platform::Status logged = AppendToLog(path, text, createParents);
  if (!logged)
    platform::WriteErr("tamarind: the log entry was not written: " + platform::EscapeControlBytes(logged.reason()) + "\n");
  return logged.ok();
}

}  // namespace tamarind
