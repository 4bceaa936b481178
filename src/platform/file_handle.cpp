// What a FileHandle does the same on every system; closing, reading and
// opening are in posix/ and windows/.
#include "platform/file_handle.h"

namespace tamarind::platform {

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
  if (this != &other) {
    CloseQuietly();
    fd_ = std::exchange(other.fd_, -1);
  }
  return *this;
}

FileHandle::~FileHandle() { CloseQuietly(); }

Expected<int64_t> FileHandle::ReadAt(int64_t offset, std::span<uint8_t> out) const {
  return ReadAtDescriptor(fd_, offset, out);
}

}  // namespace tamarind::platform
