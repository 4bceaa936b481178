#include "batch/folder_watch.h"

#include <thread>

#include "platform/paths.h"

namespace tamarind {

std::optional<FolderWatch::Stamp> FolderWatch::StampOf(const std::string& root, const std::string& entry) {
  auto status = platform::StatusOf(platform::JoinPath(root, entry));
  if (!status) return std::nullopt;
  return Stamp{status->size, status->modified, status->inode};
}

void FolderWatch::Start(const std::string& root, std::span<const std::string> files) {
  ++scan_;
  for (const std::string& entry : files) {
    if (auto stamp = StampOf(root, entry)) seen_[entry] = {*stamp, true, scan_};
  }
}

std::vector<std::string> FolderWatch::Ready(const std::string& root, std::vector<std::string> files) {
  ++scan_;
  std::vector<std::string> ready;
  for (std::string& entry : files) {
    std::optional<Stamp> stamp = StampOf(root, entry);
    if (!stamp) continue;
    auto [known, added] = seen_.try_emplace(entry);
    Seen& seen = known->second;
    seen.scan = scan_;
    if (added || seen.stamp != *stamp) {
      seen.stamp = *stamp;
      seen.handed = false;
    } else if (!seen.handed) {
      seen.handed = true;
      ready.push_back(std::move(entry));
    }
  }
  std::erase_if(seen_, [&](const auto& item) { return item.second.scan != scan_; });
  return ready;
}

namespace {

constexpr std::chrono::milliseconds kStopPoll{100};

// False when a stop came first.
bool WaitUntil(std::chrono::steady_clock::time_point when, const std::function<bool()>& stopRequested) {
  while (!stopRequested()) {
    const auto now = std::chrono::steady_clock::now();
    if (now >= when) return true;
    std::this_thread::sleep_for(std::min<std::chrono::steady_clock::duration>(when - now, kStopPoll));
  }
  return false;
}

}  // namespace

void WatchFolder(const std::string& root, std::chrono::milliseconds period, const std::function<bool()>& stopRequested,
                 const WatchSteps& steps, std::vector<std::string> files) {
  FolderWatch watch;
  auto next = std::chrono::steady_clock::now() + period;
  watch.Start(root, files);
  steps.pass(std::move(files), true);
  while (WaitUntil(next, stopRequested)) {
    // Scans keep their rhythm; after a pass longer than the period the
    // next scan follows at once, but only once.
    next = std::max(next + period, std::chrono::steady_clock::now());
    files.clear();
    if (!steps.list(files)) continue;
    std::vector<std::string> ready = watch.Ready(root, std::move(files));
    if (!ready.empty()) steps.pass(std::move(ready), false);
  }
}

}  // namespace tamarind
