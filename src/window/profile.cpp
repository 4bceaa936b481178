#include "window/profile.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <optional>
#include <span>

#include "platform/atomic_file.h"
#include "platform/file_handle.h"
#include "platform/files.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

constexpr std::string_view kBlanks = " \t";

std::string_view Trim(std::string_view text) {
  size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  size_t last = text.find_last_not_of(kBlanks);
  return text.substr(first, last - first + 1);
}

// The name of a "[name]" line, or nullopt for any other line.
std::optional<std::string_view> SectionName(std::string_view line) {
  std::string_view text = Trim(line);
  if (text.size() < 2 || text.front() != '[') return std::nullopt;
  size_t close = text.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(text.substr(1, close - 1));
}

struct KeyValue {
  std::string_view key;
  std::string_view value;
};

std::optional<KeyValue> SplitKey(std::string_view line) {
  size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  std::string_view key = Trim(line.substr(0, equals));
  if (key.empty() || key.front() == ';') return std::nullopt;
  return KeyValue{key, Trim(line.substr(equals + 1))};
}

bool IsQuote(char c) { return c == '"' || c == '\''; }

// A value in a pair of quotes of one kind loses them, as Windows reads it,
// but only when no quote of that kind is inside: '"a b" c "d e"' is a list
// of quoted names, not one quoted value.
std::string Unquote(std::string_view value) {
  if (value.size() >= 2 && IsQuote(value.front()) && value.back() == value.front()) {
    std::string_view inner = value.substr(1, value.size() - 2);
    if (inner.find(value.front()) == std::string_view::npos) return std::string(inner);
  }
  return std::string(value);
}

// The stored form of |value|: wrapped in quotes of a kind it does not hold
// whenever reading it back would otherwise lose blanks at its ends or a pair
// of quotes around it.
std::string StoredForm(std::string_view value) {
  std::string text(value);
  std::replace_if(
      text.begin(), text.end(), [](char c) { return c == '\r' || c == '\n'; }, ' ');
  if (Trim(text).size() == text.size() && Unquote(text) == text) return text;
  for (char quote : {'"', '\''})
    if (text.find(quote) == std::string::npos) return quote + text + quote;
  return '"' + text + '"';  // holds both kinds and needs protection: cannot be kept exactly
}

}  // namespace

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {}

ProfileFile ProfileFile::Load(const std::string& path) {
  ProfileFile profile(path);
  // Only a regular file is read: a FIFO or a device under the settings'
  // name would make the start wait, or read forever.
  auto file = platform::OpenRegularFile(path);
  if (!file || file->Size() <= 0) return profile;
  std::string text(static_cast<size_t>(file->Size()), '\0');
  auto read = file->ReadAt(0, std::span(reinterpret_cast<uint8_t*>(text.data()), text.size()));
  text.resize(static_cast<size_t>(read.value_or(0)));
  size_t firstBreak = text.find('\n');
  if (firstBreak != std::string::npos && firstBreak > 0 && text[firstBreak - 1] == '\r') profile.newline_ = "\r\n";
  size_t start = 0;
  while (start < text.size()) {
    size_t end = text.find('\n', start);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    profile.lines_.push_back({std::move(line)});
    start = end + 1;
  }
  return profile;
}

int ProfileFile::FindSection(std::string_view section) const {
  for (size_t i = 0; i < lines_.size(); ++i) {
    std::optional<std::string_view> name = SectionName(lines_[i].text);
    if (name && platform::EqualsIgnoringCase(*name, section)) return static_cast<int>(i);
  }
  return -1;
}

int ProfileFile::SectionEnd(int header) const {
  size_t i = static_cast<size_t>(header) + 1;
  while (i < lines_.size() && !SectionName(lines_[i].text)) ++i;
  return static_cast<int>(i);
}

int ProfileFile::FindKey(int header, std::string_view key) const {
  int end = SectionEnd(header);
  for (int i = header + 1; i < end; ++i) {
    std::optional<KeyValue> pair = SplitKey(lines_[static_cast<size_t>(i)].text);
    if (pair && platform::EqualsIgnoringCase(pair->key, key)) return i;
  }
  return -1;
}

std::string ProfileFile::GetString(std::string_view section, std::string_view key, std::string_view fallback) const {
  int header = FindSection(section);
  int line = header < 0 ? -1 : FindKey(header, key);
  if (line < 0) return std::string(fallback);
  return Unquote(SplitKey(lines_[static_cast<size_t>(line)].text)->value);
}

int ProfileFile::GetInt(std::string_view section, std::string_view key, int fallback) const {
  int header = FindSection(section);
  int line = header < 0 ? -1 : FindKey(header, key);
  if (line < 0) return fallback;
  std::string value = Unquote(SplitKey(lines_[static_cast<size_t>(line)].text)->value);
  if (value.empty()) return fallback;
  // Read like atoi: "  -12abc" is -12 and "abc" is 0.
  return platform::LeadingInt(Trim(value));
}

void ProfileFile::SetString(std::string_view section, std::string_view key, std::string_view value) {
  std::string stored = StoredForm(value);
  int header = FindSection(section);
  if (header < 0) {
    if (!lines_.empty() && !Trim(lines_.back().text).empty()) lines_.push_back({""});
    lines_.push_back({"[" + std::string(section) + "]"});
    lines_.push_back({std::string(key) + "=" + stored});
    return;
  }
  int line = FindKey(header, key);
  if (line >= 0) {
    // Keep the spelling of the key as the file has it.
    std::string existingKey(SplitKey(lines_[static_cast<size_t>(line)].text)->key);
    lines_[static_cast<size_t>(line)].text = existingKey + "=" + stored;
    return;
  }
  // After the section's last non-blank line, so a blank line that separates
  // it from the next section stays in place.
  int insertAt = SectionEnd(header);
  while (insertAt > header + 1 && Trim(lines_[static_cast<size_t>(insertAt - 1)].text).empty()) --insertAt;
  lines_.insert(lines_.begin() + insertAt, Line{std::string(key) + "=" + stored});
}

void ProfileFile::SetInt(std::string_view section, std::string_view key, int value) {
  SetString(section, key, std::to_string(value));
}

std::string ProfileFile::Text() const {
  std::string text;
  for (const Line& line : lines_) text += line.text + newline_;
  return text;
}

platform::Status ProfileFile::Save() const {
  namespace fs = std::filesystem;
  std::error_code error;
  // Write through a link to the real file, next to it.
  fs::path target = fs::weakly_canonical(fs::path(path_), error);
  if (error) target = path_;
  const std::string folder = target.parent_path().string();
  if (!folder.empty()) {
    if (platform::Status made = platform::MakeFolders(folder); !made) return made;
  }
  auto file = platform::AtomicOutputFile::Create(target.string());
  if (!file) return file.status();
  // A file the user made private stays private.
  platform::CopyPermissionsOnto(target.string(), (*file)->Descriptor());
  const std::string text = Text();
  std::fwrite(text.data(), 1, text.size(), (*file)->Stream());
  return (*file)->Commit();
}

}  // namespace tamarind
