// Removing our own unfinished outputs when the process is interrupted.
//
// Each output being written registers its temporary name; when Ctrl-C,
// SIGTERM or SIGHUP ends the process, the names still registered are
// removed first, so an interrupted run leaves no half-written files behind.
// (A SIGKILL cannot be caught; the temporary names then stay and can be
// deleted.)
#pragma once

namespace tamarind::platform {

// Installs the handlers once; signals the process ignores stay ignored.
void RemoveUnfinishedOutputsOnInterrupt();

// Registers |path| (which must stay valid until Unregister) and returns a
// slot for Unregister, or -1 when every slot is taken (the path is then
// simply not removed on an interrupt).
int RegisterUnfinished(const char* path);
void UnregisterUnfinished(int slot);

}  // namespace tamarind::platform
