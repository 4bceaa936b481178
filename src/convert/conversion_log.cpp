#include "convert/conversion_log.h"

#include "platform/console.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

constexpr std::string_view kDashesLine = "--------------------------------------------------\n";

// A device (/dev/null) as the log is the way to run without one.
bool NoLog(const std::string& path) { return path.empty() || platform::IsCharacterDevice(path); }

platform::Status MakeLogFolder(const std::string& path, bool createParents) {
  std::string_view folder = platform::FolderOf(path);
  if (folder.empty()) return {};
  std::string folderText(folder);
  platform::Status ready = createParents ? platform::MakeFolders(folderText) : platform::MakeFolder(folderText);
  if (!ready) return std::move(ready).failure().WithPath(folderText);
  return {};
}

bool SayIfLost(const platform::Status& logged) {
  if (!logged)
    platform::WriteErr("tamarind: the log entry was not written: " + platform::EscapeControlBytes(logged.reason()) +
                       "\n");
  return logged.ok();
}

}  // namespace

platform::Status AppendToLog(const std::string& path, std::string_view text, bool createParents) {
  if (NoLog(path)) return {};
  if (platform::Status ready = MakeLogFolder(path, createParents); !ready) return ready;
  std::string entry = platform::LocalTimeText("%Y-%m-%d %H:%M:%S\n");
  entry += text;
  entry += kDashesLine;
  // One write: two runs appending at the same moment keep their entries
  // whole.
  return platform::AppendWhole(path, entry);
}

platform::Status AppendToLog(const std::string& path, const platform::TextSpool& text, bool createParents) {
  if (NoLog(path)) return {};
  if (platform::Status ready = MakeLogFolder(path, createParents); !ready) return ready;
  const std::string time = platform::LocalTimeText("%Y-%m-%d %H:%M:%S\n");
  return platform::AppendPieces(path, [&](const platform::PieceSink& sink) {
    platform::Status written = sink(time);
    if (written) written = text.ForEachPiece(sink);
    if (written) written = sink(kDashesLine);
    return written;
  });
}

bool AppendToLogOrSay(const std::string& path, std::string_view text, bool createParents) {
  return SayIfLost(AppendToLog(path, text, createParents));
}

bool AppendToLogOrSay(const std::string& path, const platform::TextSpool& text, bool createParents) {
  return SayIfLost(AppendToLog(path, text, createParents));
}

}  // namespace tamarind
