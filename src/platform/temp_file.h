// A private scratch file: created exclusively with a name no other process
// or worker can share, readable by its owner only, used through the
// descriptor it was created with and removed when its owner lets go of it.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tamarind::platform {

class PrivateTempFile {
  struct Token {
    explicit Token() = default;
  };

 public:
  // Creates <folder>/<prefix>-<pid>-<serial>-XXXXXX<suffix> (O_EXCL, mode
  // 0600). Returns null and fills |error| when the file cannot be made.
  static std::unique_ptr<PrivateTempFile> Create(std::string_view folder, std::string_view prefix,
                                                 std::string_view suffix, std::string* error = nullptr);

  // Use Create(); public only so that make_unique can reach it.
  PrivateTempFile(Token, int fd, std::string path) : fd_(fd), path_(std::move(path)) {}
  PrivateTempFile(const PrivateTempFile&) = delete;
  PrivateTempFile& operator=(const PrivateTempFile&) = delete;
  ~PrivateTempFile();  // closes the descriptor and removes the file

  const std::string& Path() const { return path_; }
  int Descriptor() const { return fd_; }

  // Empties the file and moves the position to its start.
  bool Truncate();
  // Cuts or extends the file to |size| bytes; the position stays.
  bool Resize(int64_t size);
  // Writes all of |bytes| at |offset| / at the current position.
  bool WriteAt(int64_t offset, std::span<const uint8_t> bytes);
  bool Write(std::span<const uint8_t> bytes);
  // Reads up to |bytes|.size() bytes at |offset|; returns the count read
  // (short only at the end of the file) or -1 on error.
  int64_t ReadAt(int64_t offset, std::span<uint8_t> bytes) const;
  // Current size in bytes, or -1.
  int64_t Size() const;

 private:
  int fd_;
  std::string path_;
};

}  // namespace tamarind::platform
