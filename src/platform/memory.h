// How the process's heap gives memory back to the system.
#pragma once

namespace tamarind::platform {

// Fixes the heap's thresholds so that the buffers of one ordinary page are
// reused by the next while what a long run frees beyond that goes back to
// the system. Call once at start, before any thread exists.
void ReturnFreedPageMemory();

}  // namespace tamarind::platform
