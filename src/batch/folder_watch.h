// A folder watched for new and changed WinFax files: which files a pass
// should convert, and the loop of passes.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "convert/conversion_job.h"
#include "platform/files.h"

namespace tamarind {

// What one pass of a watch converts.
struct WatchPass {
  std::vector<std::string> files;  // relative to the root, in list order
  // Those of |files| converted (or skipped) before whose identity (inode,
  // size, modification time) changed since: they are converted again
  // whatever their time says, as a fax replaced by an older copy
  // (cp -p, rsync -t, unzip) must be.
  std::unordered_set<std::string> again;
};

// Remembers each file's size, modification time and inode from one scan to
// the next. A file is handed on once it is new or changed since it was
// last handed on, and then only when the two latest scans saw it alike: a
// file still being copied waits for the scan after its copy ended.
class FolderWatch {
 public:
  // The files of the first pass (of |files|, relative to |root|): those not
  // modified within the last |period|. A file modified since may still be
  // being written; it is handed on by Ready once a scan finds it alike.
  std::vector<std::string> Start(const std::string& root, std::vector<std::string> files,
                                 std::chrono::milliseconds period);
  // From this scan's |files|, the ones to convert now, in list order.
  // Files no longer listed are forgotten.
  WatchPass Ready(const std::string& root, std::vector<std::string> files);

  // |entry| was converted into |pages| page outputs; returns the page
  // count of its conversion before (0 when this watch did not convert it).
  uint32_t Converted(const std::string& entry, uint32_t pages);
  uint32_t PagesConverted(const std::string& entry) const;

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
    bool handed = false;      // handed on since its latest change
    bool handedOnce = false;  // handed on at least once
    uint32_t pages = 0;       // of the latest conversion that wrote pages
    uint64_t scan = 0;        // the latest scan that listed the file
  };
  static std::optional<Stamp> StampOf(const std::string& root, const std::string& entry);

  std::unordered_map<std::string, Seen> seen_;
  uint64_t scan_ = 0;
};

// What a later pass knows of its files' earlier conversions, by source
// path.
struct EarlierConversions {
  std::unordered_set<std::string> again;  // converted whatever their time
  // Page outputs of the latest conversion, for files this watch converted.
  std::unordered_map<std::string, uint32_t> pages;
};

// Converts as ConvertListedFile does, but a file of earlier.again with the
// skip rule off; and once a file converted before into a different number
// of pages is converted whole, the page outputs of the earlier conversion
// not written now (out/a.jpg once a.fxd has grown to a001.jpg, a002.jpg,
// or out/a003.jpg once it has shrunk to two pages) are removed, each named
// on its own report line. Only regular files of the names this program
// gave that conversion are removed, and only with JPEG, the one format
// with a file per page.
FileConverter WatchConverter(std::shared_ptr<const EarlierConversions> earlier);

// What a watch does, supplied by the command line.
struct WatchSteps {
  // Fills |files| with the files of the folder now; false when the folder
  // could not be read (the scan is then left out).
  std::function<bool(std::vector<std::string>& files)> list;
  // Converts |pass|; |first| for the pass that starts the watch.
  std::function<void(WatchPass pass, bool first)> pass;
};

// Converts the settled ones of |files| (the first listing), then rescans
// |root| every |period| and converts what |watch| finds ready, until
// |stopRequested| says so. It is asked ten times a second while waiting; a
// pass ends after the files in progress.
void WatchFolder(FolderWatch& watch, const std::string& root, std::chrono::milliseconds period,
                 const std::function<bool()>& stopRequested, const WatchSteps& steps, std::vector<std::string> files);

}  // namespace tamarind
