#include "platform/file_handle.h"

#include <io.h>
#include <windows.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/windows/handles.h"
#include "platform/windows/unicode.h"

namespace tamarind::platform {

namespace {

Failure Refused(const std::string& path, const char* why) { return Failure::About(path, why); }

// What a name that is not a regular file leads to, in the user's words.
const char* KindOf(HANDLE file) {
  switch (GetFileType(file)) {
    case FILE_TYPE_PIPE: return "is a FIFO";
    case FILE_TYPE_CHAR: return "is a device";
    case FILE_TYPE_DISK: break;
    default: return "is not a regular file";
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (GetFileInformationByHandle(file, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
    return "is a folder";
  return nullptr;
}

}  // namespace

const char* KindOfNonRegular(mode_t mode) {
  if ((mode & _S_IFMT) == _S_IFIFO) return "is a FIFO";
  if ((mode & _S_IFMT) == _S_IFCHR) return "is a device";
  if ((mode & _S_IFMT) == _S_IFDIR) return "is a folder";
  return "is not a regular file";
}

void FileHandle::CloseQuietly() {
  if (fd_ >= 0) _close(std::exchange(fd_, -1));
}

Status FileHandle::Close() {
  if (fd_ < 0) return Failure::System({}, EBADF);
  if (_close(std::exchange(fd_, -1)) != 0) return Failure::System({}, errno);
  return {};
}

Expected<int64_t> ReadAtDescriptor(int fd, int64_t offset, std::span<uint8_t> out) {
  const HANDLE file = HandleOf(fd);
  int64_t total = 0;
  while (!out.empty()) {
    // A positioned read: the offset travels with the call (it moves the
    // handle's position too, which no user of ReadAt relies on).
    OVERLAPPED at{};
    const uint64_t where = static_cast<uint64_t>(offset + total);
    at.Offset = static_cast<DWORD>(where);
    at.OffsetHigh = static_cast<DWORD>(where >> 32);
    DWORD n = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(out.size(), 1 << 30));
    if (!ReadFile(file, out.data(), chunk, &n, &at)) {
      if (GetLastError() == ERROR_HANDLE_EOF) break;
      return FailureFor({}, GetLastError());
    }
    if (n == 0) break;
    out = out.subspan(n);
    total += n;
  }
  return total;
}

int64_t FileHandle::Size() const {
  LARGE_INTEGER size{};
  return GetFileSizeEx(HandleOf(fd_), &size) ? size.QuadPart : -1;
}

int64_t FileHandle::BytesOnDisk() const {
  FILE_STANDARD_INFO info{};
  return GetFileInformationByHandleEx(HandleOf(fd_), FileStandardInfo, &info, sizeof info)
             ? info.AllocationSize.QuadPart
             : -1;
}

// Holes are rare on Windows (only files marked sparse have them) and the
// query takes a device call per range: every byte counts as data.
int64_t FileHandle::EndOfDataWithin(int64_t, int64_t end) const { return end; }

Expected<FileHandle> OpenRegularFile(const std::string& path, OpenFor purpose) {
  const bool reading = purpose == OpenFor::kReading;
  // FILE_APPEND_DATA without FILE_WRITE_DATA: every write goes to the end,
  // as with O_APPEND.
  const DWORD access = reading ? GENERIC_READ : (FILE_APPEND_DATA | FILE_READ_ATTRIBUTES | SYNCHRONIZE);
  const HANDLE file = CreateFileW(WidePath(path).c_str(), access, kShareAll, nullptr,
                                  reading ? OPEN_EXISTING : OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) {
    const DWORD error = GetLastError();
    // Opening a folder is refused as access denied; say what it is.
    const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY))
      return Refused(path, "is a folder");
    return FailureFor(path, error);
  }
  if (const char* kind = KindOf(file)) {
    CloseHandle(file);
    return Refused(path, kind);
  }
  const int fd = AdoptHandle(file, reading ? _O_RDONLY : (_O_WRONLY | _O_APPEND));
  if (fd < 0) return Refused(path, "too many open files");
  return FileHandle(fd);
}

}  // namespace tamarind::platform
