// Windows file handles behind the C runtime's descriptors: the platform
// interfaces hand out descriptors (for stdio streams and the libraries that
// take one), so every handle the layer opens is adopted by the runtime and
// closed through it.
#pragma once

#include <windows.h>

#include <cstdint>
#include <string>

#include "platform/outcome.h"

namespace tamarind::platform {

// Sharing that lets other programs read, write, rename and delete a file
// while it is open here, as on POSIX systems; a reader never blocks a
// writer's replacement of the file.
inline constexpr DWORD kShareAll = FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE;

// A descriptor that owns |handle| (closed with it), or -1 (and the handle
// closed) when the runtime has no room. |flags| are _O_ flags.
int AdoptHandle(HANDLE handle, int flags);

// The handle behind descriptor |fd|, or INVALID_HANDLE_VALUE.
HANDLE HandleOf(int fd);

// The failure of a Windows call on |path| that ended with |code|
// (GetLastError()): the errno value of the same meaning where there is one,
// so that callers can tell a full disk from a missing folder and messages
// read as on Linux ("No space left on device"), else Windows' own words
// ("... being used by another process").
Failure FailureFor(const std::string& path, unsigned long code, std::string context = {});

// Windows' 100-ns ticks since 1601 and back, as seconds and nanoseconds
// since 1970.
struct UnixTime {
  int64_t seconds = 0;
  int64_t nanoseconds = 0;
};
UnixTime FromFileTime(const FILETIME& time);
FILETIME ToFileTime(const UnixTime& time);

}  // namespace tamarind::platform
