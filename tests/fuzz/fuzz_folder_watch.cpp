// The folder watch through fuzzed histories of a folder (files written,
// retimed, replaced by another file, removed; scans listing some of them;
// conversions recorded) against its rules, kept here as a model of each
// file: a file is handed on once for each change, and only once two scans
// in a row saw it alike; one handed on before comes again as changed; a
// file no scan lists or finds is forgotten, and is new when it comes back.
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "batch/folder_watch.h"
#include "fuzz_input.h"
#include "platform/files.h"

namespace {

using tamarind::fuzz::Expect;

constexpr int kFiles = 4;

struct Stamp {
  int64_t size = 0;
  tamarind::platform::FileTime modified;
  uint64_t inode = 0;
  bool operator==(const Stamp&) const = default;
};

// What the watch must know of a file it has not forgotten.
struct Known {
  Stamp stamp;
  bool handed = false;      // since the stamp last changed
  bool handedOnce = false;  // since it was last forgotten
  uint32_t pages = 0;
};

std::string Name(int i) { return "f" + std::to_string(i) + ".fxd"; }

class Folder {
 public:
  explicit Folder(const std::string& root) : root_(root) {}

  std::optional<Stamp> StampOf(const std::string& name) const {
    auto status = tamarind::platform::StatusOf(tamarind::platform::JoinPath(root_, name));
    if (!status) return std::nullopt;
    return Stamp{status->size, status->modified, status->inode};
  }

  // One change from the input.
  void Change(FuzzedDataProvider& in) {
    const std::string path = tamarind::platform::JoinPath(root_, Name(in.ConsumeIntegralInRange(0, kFiles - 1)));
    const std::vector<uint8_t> bytes(in.ConsumeIntegralInRange<size_t>(0, 3), 'x');
    switch (in.ConsumeIntegralInRange(0, 3)) {
      case 0: tamarind::fuzz::WriteBytes(path, bytes); break;  // the same file, rewritten
      case 1: {                                                // another file, moved over it
        tamarind::fuzz::WriteBytes(path + ".new", bytes);
        std::rename((path + ".new").c_str(), path.c_str());
        break;
      }
      case 2: {  // retimed: long ago, or ahead of the clock
        const tamarind::platform::FileTime time{in.ConsumeBool() ? 1000 : 4'000'000'000,
                                                in.ConsumeIntegralInRange(0, 2)};
        (void)tamarind::platform::SetFileTimes(path, time, time);
        break;
      }
      default: std::remove(path.c_str());
    }
  }

 private:
  std::string root_;
};

// The files a scan lists: any of them, present or not, each once.
std::vector<std::string> Listing(FuzzedDataProvider& in) {
  std::vector<std::string> names;
  const int listed = in.ConsumeIntegralInRange(0, (1 << kFiles) - 1);
  for (int i = 0; i < kFiles; ++i)
    if (listed >> i & 1) names.push_back(Name(i));
  return names;
}

void CheckScan(tamarind::FolderWatch& watch, const Folder& folder, const std::string& root,
               std::map<std::string, Known>& known, const std::vector<std::string>& listing) {
  std::map<std::string, Known> now;
  std::vector<std::string> handed, again;
  for (const std::string& name : listing) {
    const std::optional<Stamp> stamp = folder.StampOf(name);
    if (!stamp) continue;
    auto before = known.find(name);
    Known file = before == known.end() ? Known{*stamp} : before->second;
    if (before == known.end() || file.stamp != *stamp) {
      file.stamp = *stamp;
      file.handed = false;
    } else if (!file.handed) {
      handed.push_back(name);
      if (file.handedOnce) again.push_back(name);
      file.handed = file.handedOnce = true;
    }
    now[name] = file;
  }
  known = std::move(now);
  const tamarind::WatchPass pass = watch.Ready(root, listing);
  Expect(pass.files == handed, "a file is handed on once two scans saw it alike, once each change");
  Expect(pass.again.size() == again.size() &&
             std::all_of(again.begin(), again.end(), [&](const std::string& n) { return pass.again.contains(n); }),
         "a file handed on before comes again as changed");
  Expect(watch.Known() == known.size(), "files no scan found are forgotten");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const tamarind::fuzz::ScratchFolder scratch("fuzz-folder-watch");
  const std::string root = scratch.File("watched");
  std::filesystem::remove_all(root);
  std::filesystem::create_directory(root);
  Folder folder(root);
  FuzzedDataProvider in(data, size);
  for (int n = in.ConsumeIntegralInRange(0, 4); n > 0; --n) folder.Change(in);

  // The first pass: the files that settled before the period began. Files
  // are set long ago or ahead of the clock, or written now: settled when
  // the period is none (the file system's clock lags the system's).
  tamarind::FolderWatch watch;
  const bool none = in.ConsumeBool();
  const std::vector<std::string> listing = Listing(in);
  std::map<std::string, Known> known;
  std::vector<std::string> first;
  for (const std::string& name : listing) {
    const std::optional<Stamp> stamp = folder.StampOf(name);
    if (!stamp) continue;
    const int64_t seconds = stamp->modified.seconds;
    const bool handed = seconds < 1'000'000 || (none && seconds < 3'000'000'000);
    known[name] = Known{*stamp, handed, handed};
    if (handed) first.push_back(name);
  }
  const std::vector<std::string> started = watch.Start(root, listing, std::chrono::hours(none ? 0 : 1));
  Expect(started == first, "the first pass hands on the files that settled");

  while (in.remaining_bytes() > 0) {
    switch (in.ConsumeIntegralInRange(0, 3)) {
      case 0: CheckScan(watch, folder, root, known, Listing(in)); break;
      case 1: {
        const std::string name = Name(in.ConsumeIntegralInRange(0, kFiles - 1));
        const auto pages = in.ConsumeIntegral<uint32_t>();
        auto file = known.find(name);
        Expect(watch.Converted(name, pages) == (file == known.end() ? 0 : file->second.pages),
               "a conversion's pages before, of a file the watch knows");
        if (file != known.end()) file->second.pages = pages;
        break;
      }
      default: folder.Change(in);
    }
  }
  return 0;
}
