#include "platform/temp_file.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <vector>

#include "platform/paths.h"

namespace tamarind::platform {

namespace {

std::atomic<unsigned> nextSerial{0};

}  // namespace

Expected<std::unique_ptr<PrivateTempFile>> PrivateTempFile::Create(std::string_view folder, std::string_view prefix,
                                                                   std::string_view suffix) {
  std::string name(prefix);
  name += '-' + std::to_string(getpid()) + '-' + std::to_string(nextSerial.fetch_add(1));
  const std::string folderPath = folder.empty() ? std::string(".") : std::string(folder);
  // A file without a name from the start: not even a kill between creating
  // and unlinking it can leave one behind.
  FileHandle file(open(folderPath.c_str(), O_TMPFILE | O_RDWR | O_CLOEXEC, 0600));
  if (file.IsOpen())
    return std::make_unique<PrivateTempFile>(Token(), std::move(file), JoinPath(folder, name + std::string(suffix)),
                                             folderPath);
  int error = errno;
  if (error == EOPNOTSUPP || error == EISDIR || error == EINVAL) {
    // A file system without unnamed files: a name of our own, removed at once.
    std::string pattern = JoinPath(folder, name + "-XXXXXX") + std::string(suffix);
    std::vector<char> buffer(pattern.begin(), pattern.end());
    buffer.push_back('\0');
    // mkstemps opens with O_CREAT | O_EXCL and mode 0600, so an existing
    // file or a planted link is never followed.
    file = FileHandle(mkostemps(buffer.data(), static_cast<int>(suffix.size()), O_CLOEXEC));
    if (file.IsOpen()) {
      unlink(buffer.data());
      return std::make_unique<PrivateTempFile>(Token(), std::move(file), std::string(buffer.data()), folderPath);
    }
    error = errno;
  }
  return Failure::System(folderPath, error, "temporary folder");
}

Failure PrivateTempFile::Fail(int error) const { return Failure::System(folder_, error, "temporary file"); }

PrivateTempFile::~PrivateTempFile() {
  if (map_) munmap(map_, mapBytes_);
}

Status PrivateTempFile::Truncate() {
  if (ftruncate(Descriptor(), 0) != 0 || lseek(Descriptor(), 0, SEEK_SET) != 0) return Fail(errno);
  return {};
}

Status PrivateTempFile::Resize(int64_t size) {
  if (ftruncate(Descriptor(), size) != 0) return Fail(errno);
  return {};
}

Status PrivateTempFile::WriteAt(int64_t offset, std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    ssize_t n = pwrite(Descriptor(), bytes.data(), bytes.size(), offset);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(n < 0 ? errno : EIO);
    bytes = bytes.subspan(static_cast<size_t>(n));
    offset += n;
  }
  return {};
}

Status PrivateTempFile::Write(std::span<const uint8_t> bytes) {
  while (!bytes.empty()) {
    ssize_t n = write(Descriptor(), bytes.data(), bytes.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return Fail(n < 0 ? errno : EIO);
    bytes = bytes.subspan(static_cast<size_t>(n));
  }
  return {};
}

Expected<int64_t> PrivateTempFile::ReadAt(int64_t offset, std::span<uint8_t> bytes) const {
  Expected<int64_t> read = file_.ReadAt(offset, bytes);
  if (!read) return Fail(read.error());
  return read;
}

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
