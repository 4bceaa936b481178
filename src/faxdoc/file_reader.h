// The file side of a page reader: an open input file, the table of page
// offsets found in it and the coded data of the page read last.
#pragma once

#include <array>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "platform/file_handle.h"
#include "platform/outcome.h"

namespace tamarind {

class FileReader {
 public:
  static constexpr int kMaxPages = 1024;

  FileReader() = default;
  FileReader(const FileReader&) = delete;
  FileReader& operator=(const FileReader&) = delete;
  virtual ~FileReader();

  // Closes any open file, then opens |path| for reading and measures its
  // size. Fails with the reason (and no file open) when it cannot be opened
  // or is not a regular file: a pipe or a device fails at once, it is never
  // waited for. Forgets the pages of any earlier file.
  platform::Status Open(const std::string& path);
  bool IsOpen() const { return file_.IsOpen(); }
  // The close status, or 0 when no file was open.
  int Close();

  // 0 and the offset stored while fewer than kMaxPages are in use, else -1.
  int AddPageOffset(int32_t offset);
  // The offset of page |index|, or 0 when there is no such page.
  int32_t PageOffset(int index) const;
  uint16_t PageCount() const { return page_count_; }
  bool HasPageAt(int32_t offset) const;

  // Size of the open file in bytes, measured by Open.
  int64_t FileSize() const { return file_size_; }

  // The coded data of the page read last.
  std::span<const uint8_t> CodedData() const { return coded_; }
  int32_t DataLength() const { return static_cast<int32_t>(coded_.size()); }

 protected:
  void ClearPages();

  // Reads up to |out|.size() bytes at |offset|; returns the number read.
  // The rest of |out| is left as it was.
  size_t ReadAt(int64_t offset, std::span<uint8_t> out) const;

  // Replaces the coded-data buffer with page |page|'s |length| bytes at
  // |offset|; bytes past the end of the file are zero, and a hole of a
  // sparse file that ends the range is left out. The caller has already
  // cut |length| to what the page can need. A range that overlaps the data
  // another page of this file was given is refused and the page gets no
  // data: pages of a real file never share data, and headers that all claim
  // one region would make the file cost that region once per header. A
  // buffer that cannot be allocated leaves no data.
  void LoadCodedData(int page, int64_t offset, int64_t length);

 private:
  struct DataRange {
    int64_t begin = 0;
    int64_t end = 0;  // empty when begin == end
  };

  bool OverlapsAnotherPage(int page, DataRange range) const;
  int64_t WithoutTrailingHole(int64_t offset, int64_t length) const;

  platform::FileHandle file_;
  std::array<int32_t, kMaxPages> offsets_{};
  std::array<DataRange, kMaxPages> data_ranges_{};  // what each page was given
  uint16_t page_count_ = 0;
  int64_t file_size_ = 0;
  std::vector<uint8_t> coded_;
};

}  // namespace tamarind
