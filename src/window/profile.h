// A settings file in the Windows profile format: "[Section]" headers and
// "key=value" lines. Sections and keys match without regard to case, lines
// the program does not know (comments, other sections, other keys) are kept
// byte for byte, and backslashes are ordinary characters.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "platform/outcome.h"

namespace tamarind {

class ProfileFile {
 public:
  // An empty profile that Save() will write to |path|.
  explicit ProfileFile(std::string path);

  // Reads |path|; a missing or unreadable file gives an empty profile.
  static ProfileFile Load(const std::string& path);

  // The value of |key|, trimmed and with one pair of enclosing quotes
  // removed (unless a quote of that kind is also inside); |fallback| when
  // the section or the key is missing.
  std::string GetString(std::string_view section, std::string_view key, std::string_view fallback) const;
  // The leading signed decimal number of the value (0 when there is none);
  // |fallback| when the key is missing or its value is empty.
  int GetInt(std::string_view section, std::string_view key, int fallback) const;

  // Replaces the key's value, or adds the key at the end of its section,
  // or adds the section at the end of the file. The value reads back
  // unchanged: one that GetString would trim or unquote is quoted, and line
  // breaks become blanks.
  void SetString(std::string_view section, std::string_view key, std::string_view value);
  void SetInt(std::string_view section, std::string_view key, int value);

  // Writes the whole file through the atomic writer, so a failed write
  // never leaves half a file; creates the folder when needed.
  platform::Status Save() const;

  const std::string& Path() const { return path_; }
  // The file's text as Save() would write it.
  std::string Text() const;

 private:
  struct Line {
    std::string text;  // without its line ending
  };
  // Index of the section header, or -1.
  int FindSection(std::string_view section) const;
  // Index of the key line inside the section starting at |header|, or -1.
  int FindKey(int header, std::string_view key) const;
  // One past the last line that belongs to the section at |header|.
  int SectionEnd(int header) const;

  std::string path_;
  std::vector<Line> lines_;
  std::string newline_ = "\n";
};

}  // namespace tamarind
