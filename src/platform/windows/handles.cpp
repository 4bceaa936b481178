#include "platform/windows/handles.h"

#include <fcntl.h>
#include <io.h>

#include "platform/windows/unicode.h"

namespace tamarind::platform {

namespace {

// 1601-01-01 to 1970-01-01 in 100-ns ticks.
constexpr int64_t kEpochTicks = 116444736000000000LL;

}  // namespace

int AdoptHandle(HANDLE handle, int flags) {
  const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(handle), flags | _O_BINARY | _O_NOINHERIT);
  if (fd < 0) CloseHandle(handle);
  return fd;
}

HANDLE HandleOf(int fd) { return fd < 0 ? INVALID_HANDLE_VALUE : reinterpret_cast<HANDLE>(_get_osfhandle(fd)); }

Failure FailureFor(const std::string& path, unsigned long code) { return Failure{path + ": " + SystemMessage(code)}; }

UnixTime FromFileTime(const FILETIME& time) {
  const int64_t ticks =
      static_cast<int64_t>((static_cast<uint64_t>(time.dwHighDateTime) << 32) | time.dwLowDateTime) - kEpochTicks;
  int64_t seconds = ticks / 10000000;
  int64_t rest = ticks % 10000000;
  if (rest < 0) {
    rest += 10000000;
    --seconds;
  }
  return {seconds, rest * 100};
}

FILETIME ToFileTime(const UnixTime& time) {
  const uint64_t ticks = static_cast<uint64_t>(time.seconds * 10000000 + time.nanoseconds / 100 + kEpochTicks);
  FILETIME result;
  result.dwLowDateTime = static_cast<DWORD>(ticks);
  result.dwHighDateTime = static_cast<DWORD>(ticks >> 32);
  return result;
}

}  // namespace tamarind::platform
