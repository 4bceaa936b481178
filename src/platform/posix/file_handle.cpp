#include "platform/file_handle.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace tamarind::platform {

const char* KindOfNonRegular(mode_t mode) {
  if (S_ISFIFO(mode)) return "is a FIFO";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "is a device";
  if (S_ISDIR(mode)) return "is a folder";
  if (S_ISSOCK(mode)) return "is a socket";
  if (S_ISLNK(mode)) return "is a symbolic link";
  return "is not a regular file";
}

void FileHandle::CloseQuietly() {
  if (fd_ >= 0) close(std::exchange(fd_, -1));
}

Status FileHandle::Close() {
  if (fd_ < 0) return Failure::System({}, EBADF);
  // Linux releases the descriptor even when close() fails; never retry.
  if (close(std::exchange(fd_, -1)) != 0) return Failure::System({}, errno);
  return {};
}

Expected<int64_t> ReadAtDescriptor(int fd, int64_t offset, std::span<uint8_t> out) {
  int64_t total = 0;
  while (!out.empty()) {
    const ssize_t n = pread(fd, out.data(), out.size(), static_cast<off_t>(offset + total));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return Failure::System({}, errno);
    if (n == 0) break;
    out = out.subspan(static_cast<size_t>(n));
    total += n;
  }
  return total;
}

int64_t FileHandle::Size() const {
  struct stat info {};
  return fstat(fd_, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

int64_t FileHandle::BytesOnDisk() const {
  struct stat info {};
  return fstat(fd_, &info) == 0 ? static_cast<int64_t>(info.st_blocks) * 512 : -1;
}

int64_t FileHandle::EndOfDataWithin(int64_t begin, int64_t end) const {
  int64_t dataEnd = begin;
  for (int64_t at = begin; at < end;) {
    const off_t data = lseek(fd_, static_cast<off_t>(at), SEEK_DATA);
    if (data < 0) return errno == ENXIO ? dataEnd : end;  // ENXIO: only a hole follows
    if (data >= end) break;
    const off_t hole = lseek(fd_, data, SEEK_HOLE);
    if (hole < 0) return end;
    dataEnd = std::min<int64_t>(hole, end);
    at = hole;
  }
  return dataEnd;
}

Expected<FileHandle> OpenRegularFile(const std::string& path, OpenFor purpose) {
  constexpr int kCommon = O_NONBLOCK | O_NOCTTY | O_CLOEXEC;
  const int flags = purpose == OpenFor::kReading ? O_RDONLY | kCommon : O_WRONLY | O_APPEND | O_CREAT | kCommon;
  FileHandle file(open(path.c_str(), flags, 0666));
  if (!file.IsOpen()) {
    const int error = errno;
    // A FIFO without a reader (opened for writing) and a socket refuse the
    // open itself; say what they are rather than "No such device".
    struct stat info {};
    if (error == ENXIO && stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode))
      return Failure::About(path, KindOfNonRegular(info.st_mode));
    return Failure::System(path, error);
  }
  struct stat info {};
  if (fstat(file.Descriptor(), &info) != 0) return Failure::System(path, errno);
  if (!S_ISREG(info.st_mode)) return Failure::About(path, KindOfNonRegular(info.st_mode));
  const int status = fcntl(file.Descriptor(), F_GETFL);
  if (status < 0 || fcntl(file.Descriptor(), F_SETFL, status & ~O_NONBLOCK) != 0) return Failure::System(path, errno);
  return file;
}

}  // namespace tamarind::platform
