#include "platform/system_calls.h"

#include <fcntl.h>
#include <unistd.h>

namespace tamarind::platform {

const SystemCalls& SystemCalls::Real() {
  static const SystemCalls kReal;
  return kReal;
}

int SystemCalls::OpenAt(int folder, const char* name, int flags, mode_t mode) const {
  return openat(folder, name, flags, mode);
}

ssize_t SystemCalls::Write(int fd, const void* bytes, size_t size) const { return write(fd, bytes, size); }

int SystemCalls::Flush(std::FILE* stream) const { return std::fflush(stream); }

int SystemCalls::CloseStream(std::FILE* stream) const { return std::fclose(stream); }

int SystemCalls::Close(int fd) const { return close(fd); }

int SystemCalls::Sync(int fd) const { return fsync(fd); }

int SystemCalls::Duplicate(int fd) const { return fcntl(fd, F_DUPFD_CLOEXEC, 0); }

int SystemCalls::StatAt(int folder, const char* name, struct stat* info, int flags) const {
  return fstatat(folder, name, info, flags);
}

int SystemCalls::AccessAt(int folder, const char* name, int mode, int flags) const {
  return faccessat(folder, name, mode, flags);
}

int SystemCalls::LinkAt(int fromFolder, const char* from, int toFolder, const char* to, int flags) const {
  return linkat(fromFolder, from, toFolder, to, flags);
}

int SystemCalls::RenameAt(int fromFolder, const char* from, int toFolder, const char* to) const {
  return renameat(fromFolder, from, toFolder, to);
}

int SystemCalls::UnlinkAt(int folder, const char* name, int flags) const { return unlinkat(folder, name, flags); }

int SystemCalls::Truncate(int fd, off_t size) const { return ftruncate(fd, size); }

}  // namespace tamarind::platform
