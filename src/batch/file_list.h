// The files of a folder run given as a list instead of found by the walk,
// and the split of a run's files into shards that every machine agrees on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/outcome.h"

namespace tamarind {

// The entries of a file list's |text|: separated by NUL bytes when the text
// holds any (as `find -print0` writes), else one per line, a CR before the
// line feed dropped. Empty entries are skipped. Each entry loses any
// leading "./", and with an absolute |sourceFolder| an absolute entry
// inside it is made relative to it, so the entries name files the way the
// walk of that folder does; other entries are kept byte for byte.
std::vector<std::string> SplitFileList(std::string_view text, std::string_view sourceFolder);

// Reads the list at |path| ("-": standard input) and splits it as above,
// with |sourceFolder| made absolute against the working folder.
platform::Expected<std::vector<std::string>> ReadFileList(const std::string& path, const std::string& sourceFolder);

// FNV-1a, 64 bits, of |entry|'s bytes as they are: a run's file list entry,
// the path relative to the source folder. Fixed by definition, so every
// machine and every build puts a file in the same shard.
uint64_t ShardHash(std::string_view entry);

// Keeps, in order, the entries whose ShardHash % |count| is |index|.
void KeepShard(std::vector<std::string>& entries, uint64_t index, uint64_t count);

}  // namespace tamarind
