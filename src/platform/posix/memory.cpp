#include "platform/memory.h"

#include <unistd.h>

#include <algorithm>
#include <cstdlib>  // defines __GLIBC__ on glibc systems
#include <fstream>
#include <sstream>
#include <string_view>
#include <vector>

#include "platform/string_extras.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace tamarind::platform {

// glibc raises its mmap threshold to the largest block freed so far (up to
// 32 MB) and its trim threshold to twice that, so after one large page a
// folder run keeps up to 64 MB of freed bitmaps and coefficient buffers
// resident for good. Fixed thresholds stop that. The mmap threshold sits
// above the JPEG coefficient buffer of the largest ordinary fax (A3 at fine
// resolution, about 16 MB at 2 bytes per pixel): a block that is mapped
// afresh for every page costs a page fault and a cleared page per 4 KiB,
// which made wide pages a tenth slower. The heap is trimmed once 24 MB lie
// free at its top, so what a run keeps beyond its current page stays small;
// blocks of the oversized pages hostile files describe are still mapped and
// unmapped each time.
void ReturnFreedPageMemory() {
#if defined(__GLIBC__)
  // Called once at start-up, before any other thread exists.
  mallopt(M_MMAP_THRESHOLD, 16 << 20);  // NOLINT(concurrency-mt-unsafe)
  mallopt(M_TRIM_THRESHOLD, 24 << 20);  // NOLINT(concurrency-mt-unsafe)
#endif
}

}  // namespace tamarind::platform

namespace tamarind::platform {

namespace {

// Limits at or above this mean "no limit" (cgroup v1 writes the largest
// page-aligned 64-bit number).
constexpr int64_t kUnlimited = int64_t{1} << 60;

std::optional<std::string> ReadText(const std::string& path) {
  std::ifstream file(path);
  if (!file) return std::nullopt;
  std::ostringstream text;
  text << file.rdbuf();
  return text.str();
}

// A file holding one number (and a line end); nullopt for "max" or no file.
std::optional<int64_t> ReadNumber(const std::string& path) {
  std::optional<std::string> text = ReadText(path);
  if (!text) return std::nullopt;
  std::string_view digits = *text;
  while (!digits.empty() && (digits.back() == '\n' || digits.back() == ' ')) digits.remove_suffix(1);
  return ParseDecimal(digits);
}

std::optional<int64_t> SystemAvailable(const std::string& root) {
  if (std::optional<std::string> info = ReadText(root + "/proc/meminfo")) {
    std::istringstream lines(*info);
    std::string key;
    int64_t kilobytes = 0;
    while (lines >> key >> kilobytes) {
      if (key == "MemAvailable:") return kilobytes * 1024;
      lines.ignore(256, '\n');
    }
  }
  if (!root.empty()) return std::nullopt;
  const long pages = sysconf(_SC_AVPHYS_PAGES);
  const long pageSize = sysconf(_SC_PAGESIZE);
  if (pages < 0 || pageSize < 0) return std::nullopt;
  return int64_t{pages} * pageSize;
}

struct MemoryController {
  std::vector<std::string> mounts;
  const char* limitFile;
  const char* usageFile;
};

// The room under the limits of |group| and of each folder above it in the
// hierarchy; a group the mount does not show (a namespaced view) counts
// from the mount's own top.
std::optional<int64_t> RoomInGroup(const std::string& root, const MemoryController& controller,
                                   const std::string& group) {
  // The kernel writes the group from the hierarchy's top, "/a/b"; one
  // without its leading separator is taken from the top all the same.
  const std::string start = group.starts_with('/') ? group : "/" + group;
  std::optional<int64_t> room;
  for (const std::string& mount : controller.mounts) {
    // Each step cuts one level off, so the walk ends on any text.
    for (std::string level = start;;) {
      const std::string folder = root + mount + level;
      std::optional<int64_t> limit = ReadNumber(folder + "/" + controller.limitFile);
      std::optional<int64_t> usage = ReadNumber(folder + "/" + controller.usageFile);
      if (limit && usage && *limit < kUnlimited)
        room = std::min(room.value_or(kUnlimited), std::max<int64_t>(*limit - *usage, 0));
      if (level.empty()) break;
      level.resize(level.rfind('/'));
    }
  }
  return room;
}

std::optional<int64_t> GroupRoom(const std::string& root) {
  std::optional<std::string> groups = ReadText(root + "/proc/self/cgroup");
  if (!groups) return std::nullopt;
  const MemoryController v2{{"/sys/fs/cgroup", "/sys/fs/cgroup/unified"}, "memory.max", "memory.current"};
  const MemoryController v1{{"/sys/fs/cgroup/memory"}, "memory.limit_in_bytes", "memory.usage_in_bytes"};
  std::optional<int64_t> room;
  std::istringstream lines(*groups);
  // Lines "id:controllers:path"; v2 has no controllers.
  for (std::string line; std::getline(lines, line);) {
    const size_t first = line.find(':');
    const size_t second = line.find(':', first + 1);
    if (first == std::string::npos || second == std::string::npos) continue;
    const std::string controllers = "," + line.substr(first + 1, second - first - 1) + ",";
    const std::string group = line.substr(second + 1);
    const MemoryController* controller = controllers == ",,"                                 ? &v2
                                         : controllers.find(",memory,") != std::string::npos ? &v1
                                                                                             : nullptr;
    if (!controller) continue;
    if (std::optional<int64_t> here = RoomInGroup(root, *controller, group))
      room = std::min(room.value_or(kUnlimited), *here);
  }
  return room;
}

}  // namespace

std::optional<int64_t> AvailableMemoryBytesBelow(const std::string& root) {
  std::optional<int64_t> system = SystemAvailable(root);
  std::optional<int64_t> group = GroupRoom(root);
  if (system && group) return std::min(*system, *group);
  return system ? system : group;
}

std::optional<int64_t> AvailableMemoryBytes() { return AvailableMemoryBytesBelow(""); }

}  // namespace tamarind::platform
