// The system calls the atomic writer makes, behind one interface.
//
// The writer's promises (no partial file, an existing file untouched, the
// cause of a failure named) must hold whichever call fails, and a full disk
// or a folder swapped mid-run is hard to arrange in a test. A test hands
// the writer a SystemCalls of its own that fails (or counts) chosen calls;
// everything else uses Real(). Each function behaves as the call it is
// named after: -1 (or null) with errno set on failure.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdio>

namespace tamarind::platform {

class SystemCalls {
 public:
  // The system's own calls.
  static const SystemCalls& Real();

  virtual ~SystemCalls() = default;

  virtual int OpenAt(int folder, const char* name, int flags, mode_t mode) const;
  // Every write of the writer's stream comes here.
  virtual ssize_t Write(int fd, const void* bytes, size_t size) const;
  virtual int Flush(std::FILE* stream) const;
  virtual int CloseStream(std::FILE* stream) const;
  virtual int Close(int fd) const;
  virtual int Sync(int fd) const;
  // fcntl(F_DUPFD_CLOEXEC).
  virtual int Duplicate(int fd) const;
  virtual int StatAt(int folder, const char* name, struct stat* info, int flags) const;
  virtual int AccessAt(int folder, const char* name, int mode, int flags) const;
  virtual int LinkAt(int fromFolder, const char* from, int toFolder, const char* to, int flags) const;
  virtual int RenameAt(int fromFolder, const char* from, int toFolder, const char* to) const;
  virtual int UnlinkAt(int folder, const char* name, int flags) const;
  virtual int Truncate(int fd, off_t size) const;
};

}  // namespace tamarind::platform
