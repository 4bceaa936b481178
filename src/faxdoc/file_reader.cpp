#include "faxdoc/file_reader.h"

#include <sys/types.h>

#include <algorithm>
#include <new>

namespace tamarind {

FileReader::~FileReader() = default;

bool FileReader::Open(const std::string& path) {
  Close();
  ClearPages();
  file_size_ = 0;
  std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
  if (!file) return false;
  // A stream that cannot seek (a pipe, a device) has no pages to find.
  if (fseeko(file.get(), 0, SEEK_END) != 0) return false;
  const off_t size = ftello(file.get());
  if (size < 0 || fseeko(file.get(), 0, SEEK_SET) != 0) return false;
  file_size_ = size;
  file_ = std::move(file);
  return true;
}

int FileReader::Close() {
  coded_.clear();
  coded_.shrink_to_fit();
  if (!file_) return 0;
  return std::fclose(file_.release());
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
  if (!file_ || offset < 0 || fseeko(file_.get(), static_cast<off_t>(offset), SEEK_SET) != 0) return 0;
  return std::fread(out.data(), 1, out.size(), file_.get());
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
