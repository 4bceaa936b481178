// A folder watched for new and changed WinFax files: which files a pass
// should convert, and the loop of passes.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <unordered_map>
#include <vector>

#include "platform/files.h"

namespace tamarind {

// Remembers each file's size, modification time and inode from one scan to
// the next. A file is handed on once it is new or changed since it was
// last handed on, and then only when the two latest scans saw it alike: a
// file still being copied waits for the scan after its copy ended.
class FolderWatch {
 public:
  // The files of the first pass, handed on as they are now.
  void Start(const std::string& root, std::span<const std::string> files);
  // From this scan's |files| (relative to |root|), the ones to convert now,
  // in list order. Files no longer listed are forgotten.
  std::vector<std::string> Ready(const std::string& root, std::vector<std::string> files);

  size_t Known() const { return seen_.size(); }

 private:
  struct Stamp {
    int64_t size = 0;
    platform::FileTime modified;
    uint64_t inode = 0;
    bool operator==(const Stamp&) const = default;
  };
  struct Seen {
    Stamp stamp;
    bool handed = false;
    uint64_t scan = 0;  // the latest scan that listed the file
  };
  static std::optional<Stamp> StampOf(const std::string& root, const std::string& entry);

  std::unordered_map<std::string, Seen> seen_;
  uint64_t scan_ = 0;
};

// What a watch does, supplied by the command line.
struct WatchSteps {
  // Fills |files| with the files of the folder now; false when the folder
  // could not be read (the scan is then left out).
  std::function<bool(std::vector<std::string>& files)> list;
  // Converts |files|; |first| for the pass that starts the watch.
  std::function<void(std::vector<std::string> files, bool first)> pass;
};

// Converts |files| (the first listing) once, then rescans |root| every
// |period| and converts what FolderWatch finds ready, until |stopRequested|
// says so. It is asked ten times a second while waiting; a pass ends after
// the files in progress.
void WatchFolder(const std::string& root, std::chrono::milliseconds period, const std::function<bool()>& stopRequested,
                 const WatchSteps& steps, std::vector<std::string> files);

}  // namespace tamarind
