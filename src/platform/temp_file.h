// A private scratch file: readable by its owner only and used only through
// the descriptor it was created with. It has no name in its folder (it is
// made unnamed, O_TMPFILE, or on a file system without those its exclusive
// name is removed at once), so the file goes with the descriptor and not
// even a killed process leaves one behind.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "platform/file_handle.h"
#include "platform/outcome.h"

namespace tamarind::platform {

class PrivateTempFile {
  struct Token {
    explicit Token() = default;
  };

 public:
  // Creates an unnamed file in |folder| (mode 0600), or where the file
  // system has none <folder>/<prefix>-<pid>-<serial>-XXXXXX<suffix>
  // (O_EXCL) and removes the name again. Fails naming the folder (the
  // file's name means nothing to the user; the folder, missing, full or
  // read-only, is what they can mend).
  static Expected<std::unique_ptr<PrivateTempFile>> Create(std::string_view folder, std::string_view prefix,
                                                           std::string_view suffix);

  // Use Create(); public only so that make_unique can reach it.
  PrivateTempFile(Token, FileHandle file, std::string path, std::string folder)
      : file_(std::move(file)), path_(std::move(path)), folder_(std::move(folder)) {}
  PrivateTempFile(const PrivateTempFile&) = delete;
  PrivateTempFile& operator=(const PrivateTempFile&) = delete;
  ~PrivateTempFile();  // closes the descriptor, which ends the file

  // A name unique to this file, <folder>/<prefix>-<pid>-<serial>...<suffix>
  // (it never stands in its folder).
  const std::string& Path() const { return path_; }
  int Descriptor() const { return file_.Descriptor(); }

  // The failures of these name the folder, with the system's reason
  // ("/tmp: temporary file: No space left on device").
  // Empties the file and moves the position to its start.
  Status Truncate();
  // Cuts or extends the file to |size| bytes; the position stays.
  Status Resize(int64_t size);
  // Writes all of |bytes| at |offset| / at the current position.
  Status WriteAt(int64_t offset, std::span<const uint8_t> bytes);
  Status Write(std::span<const uint8_t> bytes);
  // Reads up to |bytes|.size() bytes at |offset|: the count read (short
  // only at the end of the file).
  Expected<int64_t> ReadAt(int64_t offset, std::span<uint8_t> bytes) const;
  // Current size in bytes, or -1.
  int64_t Size() const;

  // The file's first |size| bytes mapped for reading and writing. The file
  // is made at least |size| bytes long with its blocks allocated first, so
  // a store through the map can never meet a full disk. Empty when the file
  // cannot be grown or mapped (the descriptor then still works, and
  // fails with the reason if the disk is full). The map
  // stays until a larger one is asked for or the file goes; stores beyond
  // the file's current size are not allowed.
  std::span<uint8_t> MapForWriting(int64_t size);
  // What MapForWriting mapped, cut to the file's current size; empty when
  // nothing is mapped.
  std::span<const uint8_t> Mapped() const;
  // From now on MapForWriting maps nothing, as on a file system that cannot
  // allocate ahead; users fall back to the descriptor.
  void RefuseMapping();

 private:
  Failure Fail(int error) const;

  FileHandle file_;
  std::string path_;
  std::string folder_;  // as given, for messages
  // Kept across pages: mapping once saves a page fault per 4 KiB per page.
  uint8_t* map_ = nullptr;
  size_t mapBytes_ = 0;
  bool mappingRefused_ = false;
};

}  // namespace tamarind::platform
