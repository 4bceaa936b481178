#include "batch/file_list.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>

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

platform::Expected<std::string> ReadAll(std::FILE* file, const std::string& name) {
  std::string text;
  size_t got;
  do {
    const size_t used = text.size();
    text.resize(used + kReadChunk);
    got = std::fread(text.data() + used, 1, kReadChunk, file);
    text.resize(used + got);
  } while (got == kReadChunk);
  if (std::ferror(file)) return platform::Failure::System(name, errno);
  return text;
}

}  // namespace

std::vector<std::string> SplitFileList(std::string_view text, std::string_view sourceFolder) {
  const bool nulSeparated = std::memchr(text.data(), '\0', text.size()) != nullptr;
  const char separator = nulSeparated ? '\0' : '\n';
  std::vector<std::string> entries;
  entries.reserve(static_cast<size_t>(std::count(text.begin(), text.end(), separator)) + 1);
  while (!text.empty()) {
    const size_t end = std::min(text.find(separator), text.size());
    std::string_view entry = text.substr(0, end);
    text.remove_prefix(std::min(end + 1, text.size()));
    if (!nulSeparated && entry.ends_with('\r')) entry.remove_suffix(1);
    entry = ListedEntry(entry, sourceFolder);
    if (!entry.empty()) entries.emplace_back(entry);
  }
  return entries;
}

platform::Expected<std::vector<std::string>> ReadFileList(const std::string& path, const std::string& sourceFolder) {
  std::unique_ptr<std::FILE, FileCloser> file;
  if (path != "-") {
    file.reset(std::fopen(path.c_str(), "rb"));
    if (!file) return platform::Failure::System(path, errno);
  }
  auto text = ReadAll(file ? file.get() : stdin, file ? path : "standard input");
  if (!text) return std::move(text).failure();
  // find "$PWD/in" lists absolute names for /d=in.
  std::error_code ignored;
  const std::string absolute =
      sourceFolder.empty() ? "" : std::filesystem::absolute(sourceFolder, ignored).lexically_normal().string();
  return SplitFileList(*text, absolute);
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
