// How the process's heap gives memory back to the system.
#pragma once

namespace tamarind::platform {

// Makes freed blocks of page size go back to the system instead of staying
// with the process. Call once at start, before any thread exists.
void ReturnFreedPageMemory();

}  // namespace tamarind::platform
