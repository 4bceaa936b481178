#include "platform/windows/handles.h"

#include <fcntl.h>
#include <io.h>

#include <cerrno>

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

namespace {

int ErrnoOf(unsigned long code) {
  switch (code) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_INVALID_DRIVE:
    case ERROR_BAD_NETPATH:
    case ERROR_BAD_NET_NAME: return ENOENT;
    case ERROR_ACCESS_DENIED:
    case ERROR_WRITE_PROTECT: return EACCES;
    case ERROR_FILE_EXISTS:
    case ERROR_ALREADY_EXISTS: return EEXIST;
    case ERROR_DISK_FULL:
    case ERROR_HANDLE_DISK_FULL: return ENOSPC;
    case ERROR_FILE_TOO_LARGE: return EFBIG;
    case ERROR_DIRECTORY: return ENOTDIR;
    case ERROR_DIR_NOT_EMPTY: return ENOTEMPTY;
    case ERROR_TOO_MANY_OPEN_FILES: return EMFILE;
    case ERROR_NOT_ENOUGH_MEMORY:
    case ERROR_OUTOFMEMORY: return ENOMEM;
    case ERROR_FILENAME_EXCED_RANGE: return ENAMETOOLONG;
    case ERROR_NOT_SAME_DEVICE: return EXDEV;
    case ERROR_INVALID_NAME: return EINVAL;
    default: return 0;
  }
}

}  // namespace

Failure FailureFor(const std::string& path, unsigned long code, std::string context) {
  if (const int error = ErrnoOf(code)) return Failure::System(path, error, std::move(context));
  const std::string words = SystemMessage(code);
  return Failure::About(path, context.empty() ? words : context + ": " + words);
}

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
