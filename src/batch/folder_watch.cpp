#include "batch/folder_watch.h"

#include <algorithm>
#include <cstdint>
#include <thread>
#include <utility>

#include "batch/convert_folder.h"
#include "convert/output_names.h"
#include "platform/paths.h"
#include "platform/string_extras.h"

namespace tamarind {

std::optional<FolderWatch::Stamp> FolderWatch::StampOf(const std::string& root, const std::string& entry) {
  auto status = platform::StatusOf(platform::JoinPath(root, entry));
  if (!status) return std::nullopt;
  return Stamp{status->size, status->modified, status->inode};
}

namespace {

// Now less |period|, as a file time (seconds since 1970, as file times are
// kept).
platform::FileTime Before(std::chrono::milliseconds period) {
  const auto then = std::chrono::system_clock::now() - period;
  const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(then.time_since_epoch()).count();
  return {nanoseconds / 1'000'000'000, nanoseconds % 1'000'000'000};
}

}  // namespace

std::vector<std::string> FolderWatch::Start(const std::string& root, std::vector<std::string> files,
                                            std::chrono::milliseconds period) {
  ++scan_;
  // A time ahead of the clock (a share's clock) counts as recent too.
  const platform::FileTime settled = Before(period);
  std::vector<std::string> now;
  for (std::string& entry : files) {
    std::optional<Stamp> stamp = StampOf(root, entry);
    if (!stamp) continue;
    const bool handed = stamp->modified <= settled;
    seen_[entry] = {*stamp, handed, handed, 0, scan_};
    if (handed) now.push_back(std::move(entry));
  }
  return now;
}

WatchPass FolderWatch::Ready(const std::string& root, std::vector<std::string> files) {
  ++scan_;
  WatchPass ready;
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
      if (seen.handedOnce) ready.again.insert(entry);
      seen.handedOnce = true;
      ready.files.push_back(std::move(entry));
    }
  }
  std::erase_if(seen_, [&](const auto& item) { return item.second.scan != scan_; });
  return ready;
}

uint32_t FolderWatch::Converted(const std::string& entry, uint32_t pages) {
  auto known = seen_.find(entry);
  if (known == seen_.end()) return 0;
  return std::exchange(known->second.pages, pages);
}

uint32_t FolderWatch::PagesConverted(const std::string& entry) const {
  auto known = seen_.find(entry);
  return known == seen_.end() ? 0 : known->second.pages;
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

namespace {

void RemoveEarlierPages(ConversionJob& worker, const std::string& output, uint32_t pagesBefore,
                        const FileOutcome& outcome) {
  if (worker.options.format != OutputFormat::Jpeg || Classify(outcome) != FileResult::Converted) return;
  if (static_cast<uint32_t>(outcome.pages) == pagesBefore) return;
  const auto clamp = [](uint32_t pages) { return static_cast<uint16_t>(std::min<uint32_t>(pages, UINT16_MAX)); };
  const std::vector<std::string> now = PageFileNames(output, clamp(static_cast<uint32_t>(outcome.pages)));
  for (const std::string& name : PageFileNames(output, clamp(pagesBefore))) {
    if (std::find(now.begin(), now.end(), name) != now.end()) continue;
    const std::string shown = platform::EscapeControlBytes(name);
    if (platform::Status removed = worker.RemoveOutput(name); removed)
      worker.report += "Removed : " + shown + " - a page of an earlier conversion\r\n";
    else worker.report += "Not removed : " + platform::EscapeControlBytes(removed.reason()) + "\r\n";
  }
}

}  // namespace

FileConverter WatchConverter(std::shared_ptr<const EarlierConversions> earlier) {
  return [earlier = std::move(earlier)](ConversionJob& worker, const std::string& source, const std::string& output) {
    const bool skip = worker.options.skipExisting;
    if (earlier->again.contains(source)) worker.options.skipExisting = false;
    FileOutcome outcome = ConvertListedFile(worker, source, output);
    worker.options.skipExisting = skip;
    if (auto before = earlier->pages.find(source); before != earlier->pages.end())
      RemoveEarlierPages(worker, output, before->second, outcome);
    return outcome;
  };
}

void WatchFolder(FolderWatch& watch, const std::string& root, std::chrono::milliseconds period,
                 const std::function<bool()>& stopRequested, const WatchSteps& steps, std::vector<std::string> files) {
  auto next = std::chrono::steady_clock::now() + period;
  steps.pass(WatchPass{watch.Start(root, std::move(files), period), {}}, true);
  while (WaitUntil(next, stopRequested)) {
    // Scans keep their rhythm; after a pass longer than the period the
    // next scan follows at once, but only once.
    next = std::max(next + period, std::chrono::steady_clock::now());
    files.clear();
    if (!steps.list(files)) continue;
    WatchPass ready = watch.Ready(root, std::move(files));
    if (!ready.files.empty()) steps.pass(std::move(ready), false);
  }
}

}  // namespace tamarind
