// How the process's heap gives memory back to the system, and how much
// memory the process may still take.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tamarind::platform {

// Fixes the heap's thresholds so that the buffers of one ordinary page are
// reused by the next while what a long run frees beyond that goes back to
// the system. Call once at start, before any thread exists.
void ReturnFreedPageMemory();

// Bytes of memory this process can still take without pushing the system
// or its control group into swapping or the OOM killer: the smaller of the
// memory the system has available (MemAvailable, which counts the page
// cache the kernel can drop, where sysconf(_SC_AVPHYS_PAGES) counts free
// pages only) and the room left under every memory limit of the process's
// control group and its ancestors (cgroup v2 memory.max - memory.current,
// v1 memory.limit_in_bytes - memory.usage_in_bytes). nullopt when none of
// these can be read.
std::optional<int64_t> AvailableMemoryBytes();

// The same with the system's files read below |root| instead of "/" (for
// tests that lay out /proc and /sys/fs/cgroup of their own).
std::optional<int64_t> AvailableMemoryBytesBelow(const std::string& root);

}  // namespace tamarind::platform
