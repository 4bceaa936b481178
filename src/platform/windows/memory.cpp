#include "platform/memory.h"

#include <windows.h>

#include <algorithm>

namespace tamarind::platform {

// The Windows heap returns large blocks to the system by itself.
void ReturnFreedPageMemory() {}

// The physical memory available, and for a 32-bit process also the room
// left in its own address space (2 GiB, or 4 GiB under a 64-bit system
// with a large-address-aware program), which runs out long before the
// machine's memory does.
std::optional<int64_t> AvailableMemoryBytes() {
  MEMORYSTATUSEX status{};
  status.dwLength = sizeof status;
  if (!GlobalMemoryStatusEx(&status)) return std::nullopt;
  const uint64_t available = std::min(status.ullAvailPhys, status.ullAvailVirtual);
  return static_cast<int64_t>(std::min<uint64_t>(available, INT64_MAX));
}

// No /proc nor control groups to lay out here.
std::optional<int64_t> AvailableMemoryBytesBelow(const std::string&) { return std::nullopt; }

}  // namespace tamarind::platform
