#include "platform/temp_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
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
  name += '-' + std::to_string(getpid()) + '-' + std::to_string(nextSerial.fetch_add(1));
  const std::string folderPath = folder.empty() ? std::string(".") : std::string(folder);
  // A file without a name from the start: not even a kill between creating
  // and unlinking it can leave one behind.
  int fd = open(folderPath.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600);
  if (fd >= 0) return std::make_unique<PrivateTempFile>(Token(), fd, JoinPath(folder, name + std::string(suffix)));
  if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) {
    // A file system without unnamed files: a name of our own, removed at once.
    std::string pattern = JoinPath(folder, name + "-XXXXXX") + std::string(suffix);
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    // mkstemps opens with O_CREAT | O_EXCL and mode 0600, so an existing
    // file or a planted link is never followed.
    fd = mkostemps(buffer.data(), static_cast<int>(suffix.size()), O_CLOEXEC);
    if (fd >= 0) {
      unlink(buffer.data());
      return std::make_unique<PrivateTempFile>(Token(), fd, std::string(buffer.data()));
    }
  }
  // The folder is what the user can mend ($TMPDIR missing, full or
  // read-only); the file's name means nothing to them.
  if (error) *error = "temporary folder " + folderPath + ": " + ErrorText(errno);
  return nullptr;
}

PrivateTempFile::~PrivateTempFile() {
  if (map_) munmap(map_, mapBytes_);
}

bool PrivateTempFile::Truncate() {
  return ftruncate(Descriptor(), 0) == 0 && lseek(Descriptor(), 0, SEEK_SET) == 0;
}

bool PrivateTempFile::Resize(int64_t size) { return ftruncate(Descriptor(), size) == 0; }

bool PrivateTempFile::WriteAt(int64_t offset, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    ssize_t n = pwrite(Descriptor(), bytes.data(), bytes.size(), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(n));
    offset += n;
  }
  return true;
}

bool PrivateTempFile::Write(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(Descriptor(), bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    bytes = bytes.subspan(static_cast<size_t>(n));
  }
  return true;
}

int64_t PrivateTempFile::ReadAt(int64_t offset, std::span<uint8_t> bytes) const { return file_.ReadAt(offset, bytes); }

int64_t PrivateTempFile::Size() const { return file_.Size(); }

}  // namespace tamarind::platform

namespace tamarind::platform {

std::span<uint8_t> PrivateTempFile::MapForWriting(int64_t size) {
  if (size <= 0 || mappingRefused_) return {};
  const int64_t before = std::max<int64_t>(Size(), 0);
  // Unlike posix_fallocate, the system call never falls back to writing
  // zeros over what the file holds.
  int result;
  do result = fallocate(Descriptor(), 0, 0, size);
  while (result != 0 && errno == EINTR);
  if (result != 0) return {};
  if (static_cast<size_t>(size) > mapBytes_) {
    if (map_) munmap(map_, mapBytes_);
    map_ = nullptr;
    mapBytes_ = 0;
    void* map = mmap(nullptr, static_cast<size_t>(size), PROT_READ | PROT_WRITE, MAP_SHARED, Descriptor(), 0);
    if (map == MAP_FAILED) return {};
    map_ = static_cast<uint8_t*>(map);
    mapBytes_ = static_cast<size_t>(size);
  }
#ifdef MADV_POPULATE_WRITE
  // Pages the file lost when it was last cut shorter come back in one call
  // rather than one fault each (older kernels refuse; the faults remain).
  if (size > before) {
    const int64_t page = sysconf(_SC_PAGESIZE);
    const int64_t from = before / page * page;
    madvise(map_ + from, static_cast<size_t>(size - from), MADV_POPULATE_WRITE);
  }
#endif
  return {map_, static_cast<size_t>(size)};
}

void PrivateTempFile::RefuseMapping() {
  if (map_) munmap(map_, mapBytes_);
  map_ = nullptr;
  mapBytes_ = 0;
  mappingRefused_ = true;
}

std::span<const uint8_t> PrivateTempFile::Mapped() const {
  const int64_t size = Size();
  if (!map_ || size <= 0) return {};
  return {map_, std::min(mapBytes_, static_cast<size_t>(size))};
}

}  // namespace tamarind::platform
