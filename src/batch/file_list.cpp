#include "batch/file_list.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <limits>
#include <memory>
#include <optional>

#include "platform/paths.h"

namespace tamarind {

namespace {

constexpr uint64_t kFnvOffsetBasis = 14695981039346656037ull;
constexpr uint64_t kFnvPrime = 1099511628211ull;
constexpr size_t kReadChunk = size_t{1} << 16;

std::string_view ListedEntry(std::string_view entry, std::string_view sourceFolder) {
  while (entry.starts_with("./")) entry.remove_prefix(2);
  // find "$SRC" writes absolute paths inside the source folder.
  if (!sourceFolder.empty() && platform::RootLength(entry) > 0 && entry.starts_with(sourceFolder)) {
    std::string_view rest = entry.substr(sourceFolder.size());
    if (platform::IsSeparator(sourceFolder.back())) return rest;
    if (!rest.empty() && platform::IsSeparator(rest.front())) return rest.substr(1);
  }
  return entry;
}

struct FileCloser {
  void operator()(std::FILE* file) const { std::fclose(file); }
};

std::string Thousands(uint64_t n) {
  std::string digits = std::to_string(n);
  for (size_t at = digits.size(); at > 3; at -= 3) digits.insert(at - 3, ",");
  return digits;
}

// "1 GiB", or "65,536 bytes".
std::string BytesText(int64_t bytes) {
  constexpr int64_t kGiB = int64_t{1} << 30;
  if (bytes % kGiB == 0) return std::to_string(bytes / kGiB) + " GiB";
  return Thousands(static_cast<uint64_t>(bytes)) + " bytes";
}

// A list's entries as its bytes come, piece by piece: the separator is
// chosen on the first piece, an entry cut by a piece's end waits in
// |partial_| for the rest, and the limits are checked as the bytes come,
// so a list that never ends fails once it is past them.
class ListSplitter {
 public:
  ListSplitter(std::string_view sourceFolder, const Shard& shard, const FileListLimits& limits,
               std::vector<std::string>& entries)
      : sourceFolder_(sourceFolder), shard_(shard), limits_(limits), entries_(entries) {}

  platform::Status Feed(std::string_view bytes) {
    if (!separator_) {
      // A NUL list's first entry, a path, ends within the first
      // kMaxListEntryBytes + 1 bytes; a file name never holds a NUL.
      const std::string_view head = bytes.substr(0, kMaxListEntryBytes + 1);
      separator_ = head.find('\0') != std::string_view::npos ? '\0' : '\n';
    }
    read_ += static_cast<int64_t>(bytes.size());
    if (read_ > limits_.bytes)
      return platform::Failure{"the list is longer than " + BytesText(limits_.bytes) + ", the most a run reads"};
    while (!bytes.empty()) {
      if (partial_.empty()) {
        // Runs of separators (blank lines, /dev/zero) are skipped whole.
        const size_t first = bytes.find_first_not_of(*separator_);
        count_ += std::min(first, bytes.size());
        bytes.remove_prefix(std::min(first, bytes.size()));
        if (bytes.empty()) return {};
      }
      const size_t end = bytes.find(*separator_);
      const std::string_view piece = bytes.substr(0, end);
      // Beyond the longest entry and the CR a line may end with.
      if (partial_.size() + piece.size() - std::min(partial_.size() + piece.size(), limits_.entryBytes) > 1)
        return TooLong(count_ + 1);
      if (end == std::string_view::npos) {
        partial_.append(piece);
        return {};
      }
      if (platform::Status taken = Take(partial_.empty() ? piece : std::string_view(partial_.append(piece))); !taken)
        return taken;
      partial_.clear();
      bytes.remove_prefix(end + 1);
    }
    return {};
  }

  // The last entry, when the list does not end with a separator.
  platform::Status Finish() { return partial_.empty() ? platform::Status() : Take(partial_); }

 private:
  platform::Status Take(std::string_view entry) {
    ++count_;
    if (*separator_ == '\n' && entry.ends_with('\r')) entry.remove_suffix(1);
    if (entry.size() > limits_.entryBytes) return TooLong(count_);
    if (entry.find('\0') != std::string_view::npos)
      return platform::Failure{"line " + Thousands(count_) + " holds a NUL byte, which no file name does"};
    entry = ListedEntry(entry, sourceFolder_);
    if (entry.empty() || (shard_.count > 1 && ShardHash(entry) % shard_.count != shard_.index)) return {};
    if (entries_.size() == limits_.files)
      return platform::Failure{"the list names more than " + Thousands(limits_.files) +
                               " files, the most a run takes (/shard= splits a longer list between runs)"};
    entries_.emplace_back(entry);
    return {};
  }

  // |entry| is counted from 1.
  platform::Status TooLong(uint64_t entry) const {
    return platform::Failure{"entry " + Thousands(entry) + " is longer than " + Thousands(limits_.entryBytes) +
                             " bytes, longer than any path"};
  }

  std::string_view sourceFolder_;
  Shard shard_;
  FileListLimits limits_;
  std::vector<std::string>& entries_;
  std::optional<char> separator_;
  std::string partial_;
  int64_t read_ = 0;
  uint64_t count_ = 0;  // entries so far, empty ones included
};

}  // namespace

std::vector<std::string> SplitFileList(std::string_view text, std::string_view sourceFolder) {
  std::vector<std::string> entries;
  constexpr size_t kAny = std::numeric_limits<size_t>::max();
  ListSplitter splitter(sourceFolder, Shard{}, FileListLimits{std::numeric_limits<int64_t>::max(), kAny, kAny},
                        entries);
  if (splitter.Feed(text)) (void)splitter.Finish();
  return entries;
}

platform::Expected<std::vector<std::string>> ReadFileList(const std::string& path, const std::string& sourceFolder,
                                                          const Shard& shard, const FileListLimits& limits) {
  std::unique_ptr<std::FILE, FileCloser> file;
  if (path != "-") {
    file.reset(std::fopen(path.c_str(), "rb"));
    if (!file) return platform::Failure::System(path, errno);
  }
  std::FILE* stream = file ? file.get() : stdin;
  // find "$PWD/in" lists absolute names for /d=in.
  std::error_code ignored;
  const std::string absolute =
      sourceFolder.empty() ? "" : std::filesystem::absolute(sourceFolder, ignored).lexically_normal().string();
  std::vector<std::string> entries;
  ListSplitter splitter(absolute, shard, limits, entries);
  std::vector<char> piece(kReadChunk);
  size_t got;
  do {
    got = std::fread(piece.data(), 1, piece.size(), stream);
    if (platform::Status fed = splitter.Feed(std::string_view(piece.data(), got)); !fed)
      return std::move(fed).failure();
  } while (got == piece.size());
  if (std::ferror(stream)) return platform::Failure::System(file ? path : "standard input", errno);
  if (platform::Status last = splitter.Finish(); !last) return std::move(last).failure();
  return entries;
}

uint64_t ShardHash(std::string_view entry) {
  uint64_t hash = kFnvOffsetBasis;
  for (char c : entry) {
    hash ^= static_cast<unsigned char>(c);
    hash *= kFnvPrime;
  }
  return hash;
}

void KeepShard(std::vector<std::string>& entries, uint64_t index, uint64_t count) {
  if (count <= 1) return;
  std::erase_if(entries, [&](const std::string& entry) { return ShardHash(entry) % count != index; });
}

}  // namespace tamarind
