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
  if (size < 0) return platform::Failure{path + ": cannot read its size"};
  file_size_ = size;
  file_ = std::move(*file);
  return {};
}

int FileReader::Close() {
  coded_.clear();
  coded_.shrink_to_fit();
  if (!file_.IsOpen()) return 0;
  return file_.Close() ? 0 : -1;
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

size_t FileReader::ReadAt(int64_t offset, std::span<uint8_t> out) {
  if (!file_.IsOpen() || offset < 0) return 0;
  return static_cast<size_t>(std::max<int64_t>(file_.ReadAt(offset, out), 0));
}

void FileReader::LoadCodedData(int64_t offset, int32_t length) {
  coded_.clear();
  coded_.shrink_to_fit();
  if (length <= 0) return;
  try {
    coded_.assign(static_cast<size_t>(length), 0);
  } catch (const std::bad_alloc&) {
    // A page whose data cannot be held decodes to no line.
    return;
  }
  ReadAt(offset, coded_);
}

}  // namespace tamarind
