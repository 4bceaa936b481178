// An open file descriptor that closes itself, and the one way the program
// opens the files it reads or appends to: without blocking, and only when
// the name leads to a regular file.
//
// Opening a FIFO for reading waits for a writer, and reading a device may
// never end, so a pipe or a device named like a fax (or swapped in for one
// after a folder was listed, or named as the log) would hang a run. The
// open never blocks (O_NONBLOCK), never makes a terminal ours (O_NOCTTY),
// and fstat then refuses anything but a regular file, with a reason.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <span>
#include <string>
#include <utility>

#include "platform/outcome.h"

namespace tamarind::platform {

class FileHandle {
 public:
  FileHandle() = default;
  explicit FileHandle(int fd) : fd_(fd) {}
  FileHandle(FileHandle&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileHandle& operator=(FileHandle&& other) noexcept;
  FileHandle(const FileHandle&) = delete;
  FileHandle& operator=(const FileHandle&) = delete;
  ~FileHandle();

  bool IsOpen() const { return fd_ >= 0; }
  int Descriptor() const { return fd_; }
  // Hands the descriptor over to the caller, who then closes it.
  int Release() { return std::exchange(fd_, -1); }
  // Closes now; fails with the system's error when close() reported one
  // (EBADF when nothing was open). The failure names no file: the caller
  // knows which (WithPath).
  Status Close();

  // Reads up to |out|.size() bytes at |offset| without moving the file
  // position: the count read (short only at the end of the file), or the
  // system's error (naming no file).
  Expected<int64_t> ReadAt(int64_t offset, std::span<uint8_t> out) const;

  // The size in bytes, and the bytes the file system holds for it (less
  // than the size for a sparse file; what the file system reports, so 0 on
  // some that do not count blocks). -1 when fstat fails.
  int64_t Size() const;
  int64_t BytesOnDisk() const;

  // Where the data of [|begin|, |end|) ends once the holes of a sparse file
  // (which read as zeros but were never written) are left out: the end of
  // the last stretch of data in the range, |begin| when there is none, and
  // |end| where the file system cannot tell (or the range has no hole).
  int64_t EndOfDataWithin(int64_t begin, int64_t end) const;

 private:
  // Where no one is left to hear of a failure.
  void CloseQuietly();

  int fd_ = -1;
};

// Reads up to |out|.size() bytes at |offset| of descriptor |fd| (for code
// that holds a bare descriptor): the count read, short only at the end of
// the file, or the system's error.
Expected<int64_t> ReadAtDescriptor(int fd, int64_t offset, std::span<uint8_t> out);

// What a file that is not a regular one is, in the user's words: "is a
// FIFO", "is a device", "is a folder", "is a socket", "is a symbolic link".
const char* KindOfNonRegular(mode_t mode);

enum class OpenFor {
  kReading,    // O_RDONLY
  kAppending,  // O_WRONLY | O_APPEND, created with mode 0666 less the umask
};

// Opens |path| (links followed) without blocking and returns it only when it
// is a regular file, with O_NONBLOCK cleared again for ordinary I/O. The
// failure names the file and says why: "p.fxd: is a FIFO", "is a device",
// "is a folder", "is a socket", or the system's reason ("No such file or
// directory").
Expected<FileHandle> OpenRegularFile(const std::string& path, OpenFor purpose = OpenFor::kReading);

}  // namespace tamarind::platform
