#include "platform/files.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>

#include "platform/file_handle.h"
#include "platform/paths.h"
#include "platform/string_extras.h"

namespace tamarind::platform {

namespace {

FileTime TimeOf(const timespec& t) { return {static_cast<int64_t>(t.tv_sec), static_cast<int64_t>(t.tv_nsec)}; }

timespec TimespecOf(const FileTime& t) {
  timespec result{};
  result.tv_sec = static_cast<time_t>(t.seconds);
  result.tv_nsec = static_cast<long>(t.nanoseconds);
  return result;
}

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

FolderEntry::Kind KindOf(const std::string& path, unsigned char type) {
  using Kind = FolderEntry::Kind;
  if (type == DT_REG) return Kind::File;
  if (type == DT_DIR) return Kind::Folder;
  struct stat info {};
  if (type == DT_UNKNOWN) {
    if (lstat(path.c_str(), &info) != 0) return Kind::Other;
    if (S_ISREG(info.st_mode)) return Kind::File;
    if (S_ISDIR(info.st_mode)) return Kind::Folder;
    if (!S_ISLNK(info.st_mode)) return Kind::Other;
  } else if (type != DT_LNK) {
    return Kind::Other;
  }
  // A link counts for what it leads to, except that a folder behind a link
  // is never entered: the walk could otherwise loop or leave the tree.
  if (stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode)) return Kind::File;
  return Kind::Other;
}

}  // namespace

Status MakeFolder(const std::string& path) {
  if (path.empty()) return Failure{"a folder without a name cannot be made"};
  if (mkdir(path.c_str(), 0777) == 0) return {};
  const int error = errno;
  if (error == EEXIST && IsFolder(path)) return {};
  return Failure::System(path, error == EEXIST ? ENOTDIR : error);
}

Status MakeFolders(const std::string& path) {
  if (path.empty()) return Failure{"a folder without a name cannot be made"};
  if (IsFolder(path)) return {};
  // Every prefix that ends just before a separator, then the whole path.
  for (size_t at = path.find(kSeparator, 1); at != std::string::npos; at = path.find(kSeparator, at + 1)) {
    if (path[at - 1] == kSeparator) continue;
    std::string prefix = path.substr(0, at);
    if (mkdir(prefix.c_str(), 0777) != 0 && errno != EEXIST) return Failure::System(std::move(prefix), errno);
  }
  return MakeFolder(path);
}

bool IsFolder(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

Expected<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
  std::unique_ptr<DIR, DirCloser> dir(opendir(folder.c_str()));
  if (!dir) return Failure::System(folder, errno);
  std::vector<FolderEntry> entries;
  errno = 0;
  while (const dirent* entry = readdir(dir.get())) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    entries.push_back({name, KindOf(JoinPath(folder, name), entry->d_type)});
    errno = 0;
  }
  if (errno != 0) return Failure::System(folder, errno);
  std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}

Expected<FileStatus> StatusOf(const std::string& path) {
  struct stat info {};
  if (stat(path.c_str(), &info) != 0) return Failure::System(path, errno);
  FileStatus status;
  status.regular = S_ISREG(info.st_mode);
  status.size = static_cast<int64_t>(info.st_size);
  status.accessed = TimeOf(info.st_atim);
  status.modified = TimeOf(info.st_mtim);
  status.device = static_cast<uint64_t>(info.st_dev);
  status.inode = static_cast<uint64_t>(info.st_ino);
  return status;
}

bool IsCharacterDevice(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

bool SameFile(const std::string& a, const std::string& b) {
  auto first = StatusOf(a);
  auto second = StatusOf(b);
  return first && second && first->device == second->device && first->inode == second->inode;
}

Status SetFileTimes(const std::string& path, const FileTime& accessed, const FileTime& modified) {
  const timespec times[2] = {TimespecOf(accessed), TimespecOf(modified)};
  if (utimensat(AT_FDCWD, path.c_str(), times, 0) != 0) return Failure::System(path, errno);
  return {};
}

std::string LocalTimeText(const char* format) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char buffer[128];
  size_t length = std::strftime(buffer, sizeof buffer, format, &local);
  return std::string(buffer, length);
}

bool LocalCalendar(int64_t seconds, std::tm& local, int& utcOffsetMinutes) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  if (!localtime_r(&time, &local)) return false;
  utcOffsetMinutes = static_cast<int>(local.tm_gmtoff / 60);
  return true;
}

void CopyPermissionsOnto(const std::string& path, int fd) {
  struct stat existing {};
  if (stat(path.c_str(), &existing) == 0) fchmod(fd, existing.st_mode & 07777);
}

namespace {

ssize_t WriteOnce(int fd, std::string_view bytes) {
  ssize_t n;
  do n = write(fd, bytes.data(), bytes.size());
  while (n < 0 && errno == EINTR);
  return n;
}

// The exclusive lock of an open file, while it lives.
class EntryLock {
 public:
  explicit EntryLock(int fd) : fd_(fd) {
    int locked;
    do locked = flock(fd_, LOCK_EX);
    while (locked != 0 && errno == EINTR);
  }
  ~EntryLock() { flock(fd_, LOCK_UN); }
  EntryLock(const EntryLock&) = delete;
  EntryLock& operator=(const EntryLock&) = delete;

 private:
  int fd_;
};

}  // namespace

Status AppendWhole(const std::string& path, std::string_view bytes) {
  Expected<FileHandle> file = OpenRegularFile(path, OpenFor::kAppending);
  if (!file) return file.status();
  const int fd = file->Descriptor();
  EntryLock lock(fd);
  // One write: O_APPEND places it whole at the end, so entries of
  // concurrent writers never interleave.
  const ssize_t n = WriteOnce(fd, bytes);
  if (n == static_cast<ssize_t>(bytes.size())) {
    if (Status closed = file->Close(); !closed) return std::move(closed).failure().WithPath(path);
    return {};
  }
  if (n < 0) return Failure::System(path, errno);
  // A short write (a full disk, a file-size limit). The rest, written on,
  // fails with the cause; should it go through after all, the entry is
  // whole.
  size_t written = static_cast<size_t>(n);
  ssize_t more = 0;
  while (written < bytes.size() && (more = WriteOnce(fd, bytes.substr(written))) > 0)
    written += static_cast<size_t>(more);
  if (written == bytes.size()) return {};
  const int error = more < 0 ? errno : EIO;
  // Take the part back, so the next entry does not start in the middle of
  // a line. The write left the position at the end of our bytes; if
  // another writer appended since, cutting would take its entry too, and
  // ours stays as it is.
  const off_t end = lseek(fd, 0, SEEK_CUR);
  const off_t ours = static_cast<off_t>(written);
  if (end >= ours && file->Size() == end && ftruncate(fd, end - ours) == 0)
    return Failure::System(path, error, "the entry was not added");
  return Failure::System(path, error, "the entry stays cut short");
}

Status AppendPieces(const std::string& path, const std::function<Status(const PieceSink& sink)>& pieces) {
  Expected<FileHandle> file = OpenRegularFile(path, OpenFor::kAppending);
  if (!file) return file.status();
  const int fd = file->Descriptor();
  EntryLock lock(fd);
  // Under the lock nobody else appends: the entry starts at the end now.
  const off_t start = lseek(fd, 0, SEEK_END);
  Status written = pieces([&](std::string_view piece) -> Status {
    while (!piece.empty()) {
      const ssize_t n = WriteOnce(fd, piece);
      if (n <= 0) return Failure::System(path, n < 0 ? errno : EIO);
      piece.remove_prefix(static_cast<size_t>(n));
    }
    return {};
  });
  if (written) {
    if (Status closed = file->Close(); !closed) return std::move(closed).failure().WithPath(path);
    return {};
  }
  // A write names the log and its cause; a piece that could not be had
  // names its own file.
  const bool ours = written.failure().path() == path;
  const std::string what =
      start >= 0 && ftruncate(fd, start) == 0 ? "the entry was not added" : "the entry stays cut short";
  if (ours) return Failure::System(path, written.error(), what);
  return Failure::About(path, what).Also(written.failure());
}

}  // namespace tamarind::platform
