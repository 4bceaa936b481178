#include "platform/temp_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/paths.h"

namespace tamarind::platform {

namespace {

std::atomic<unsigned> nextSerial{0};

}  // namespace

std::unique_ptr<PrivateTempFile> PrivateTempFile::Create(std::string_view folder, std::string_view prefix,
                                                         std::string_view suffix, std::string* error) {
  std::string name(prefix);
  name += '-' + std::to_string(getpid()) + '-' + std::to_string(nextSerial.fetch_add(1)) + "-XXXXXX";
  std::string pattern = JoinPath(folder, name);
  pattern += suffix;
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  // mkstemps opens with O_CREAT | O_EXCL and mode 0600, so an existing file
  // or a planted link is never followed.
  int fd = mkstemps(buffer.data(), static_cast<int>(suffix.size()));
  if (fd < 0) {
    if (error) *error = pattern + ": " + std::strerror(errno);
    return nullptr;
  }
  fcntl(fd, F_SETFD, FD_CLOEXEC);
  return std::make_unique<PrivateTempFile>(Token(), fd, std::string(buffer.data()));
}

PrivateTempFile::~PrivateTempFile() {
  close(fd_);
  unlink(path_.c_str());
}

bool PrivateTempFile::Truncate() { return ftruncate(fd_, 0) == 0 && lseek(fd_, 0, SEEK_SET) == 0; }

bool PrivateTempFile::Resize(int64_t size) { return ftruncate(fd_, size) == 0; }

bool PrivateTempFile::WriteAt(int64_t offset, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    ssize_t n = pwrite(fd_, bytes.data(), bytes.size(), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(n));
    offset += n;
  }
  return true;
}

bool PrivateTempFile::Write(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(fd_, bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(n));
  }
  return true;
}

int64_t PrivateTempFile::ReadAt(int64_t offset, std::span<uint8_t> bytes) const {
  int64_t total = 0;
  while (!bytes.empty()) {
    ssize_t n = pread(fd_, bytes.data(), bytes.size(), offset + total);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return -1;
    if (n == 0) break;
    bytes = bytes.subspan(static_cast<size_t>(n));
    total += n;
  }
  return total;
}

int64_t PrivateTempFile::Size() const {
  struct stat info {};
  return fstat(fd_, &info) == 0 ? static_cast<int64_t>(info.st_size) : -1;
}

}  // namespace tamarind::platform
