#include "faxdoc/file_reader.h"

#include <algorithm>
#include <new>

namespace tamarind {

FileReader::~FileReader() = default;

platform::Status FileReader::Open(const std::string& path) {
  Close();
  ClearPages();
  file_size_ = 0;
  platform::Expected<platform::FileHandle> file = platform::OpenRegularFile(path);
  if (!file) return file.status();
  const int64_t size = file->Size();
  if (size < 0) return platform::Failure::About(path, "cannot read its size");
  file_size_ = size;
  file_ = std::move(*file);
  return {};
}

int FileReader::Close() {
  coded_.clear();
  coded_.shrink_to_fit();
  if (!file_.IsOpen()) return 0;
  return file_.Close().ok() ? 0 : -1;
}

int FileReader::AddPageOffset(int32_t offset) {
  if (page_count_ >= kMaxPages) return -1;
  offsets_[page_count_++] = offset;
  return 0;
}

int32_t FileReader::PageOffset(int index) const {
  return index >= 0 && index < page_count_ ? offsets_[static_cast<size_t>(index)] : 0;
}

bool FileReader::HasPageAt(int32_t offset) const {
  const auto used = offsets_.begin() + page_count_;
  return std::find(offsets_.begin(), used, offset) != used;
}

size_t FileReader::ReadAt(int64_t offset, std::span<uint8_t> out) const {
  if (!file_.IsOpen() || offset < 0) return 0;
  // A read error counts as the end of the data: the chain walk stops there.
  return static_cast<size_t>(file_.ReadAt(offset, out).value_or(0));
}

void FileReader::ClearPages() {
  page_count_ = 0;
  data_ranges_.fill({});
}

bool FileReader::OverlapsAnotherPage(int page, DataRange range) const {
  for (int other = 0; other < page_count_; ++other) {
    const DataRange& used = data_ranges_[static_cast<size_t>(other)];
    if (other != page && used.begin < range.end && range.begin < used.end) return true;
  }
  return false;
}

// The zeros of a hole that ends the range are not read: past the last 1 bit
// a few zero bytes can still complete the code in progress (no code ends in
// more than a few zeros), and then neither decoder tells a run of zeros
// from the end of the data. A sparse file claiming gigabytes of coded data
// then costs what it holds, not what it claims.
int64_t FileReader::WithoutTrailingHole(int64_t offset, int64_t length) const {
  constexpr int64_t kZerosKept = 16;
  const int64_t inFile = std::min(offset + length, file_size_);
  if (inFile <= offset) return length;
  const int64_t dataEnd = file_.EndOfDataWithin(offset, inFile);
  if (dataEnd >= inFile) return length;
  return std::min(length, dataEnd - offset + kZerosKept);
}

void FileReader::LoadCodedData(int page, int64_t offset, int64_t length) {
  coded_.clear();
  coded_.shrink_to_fit();
  if (page < 0 || page >= page_count_ || length <= 0 || offset < 0) return;
  length = WithoutTrailingHole(offset, length);
  const DataRange range{offset, offset + length};
  if (OverlapsAnotherPage(page, range)) return;
  try {
    coded_.assign(static_cast<size_t>(length), 0);
  } catch (const std::bad_alloc&) {
    // A page whose data cannot be held decodes to no line.
    return;
  }
  data_ranges_[static_cast<size_t>(page)] = range;
  ReadAt(offset, coded_);
}

}  // namespace tamarind
