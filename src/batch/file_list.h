// The files of a folder run given as a list instead of found by the walk,
// and the split of a run's files into shards that every machine agrees on.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "platform/outcome.h"

namespace tamarind {

// The most a file list may be: what it keeps is held in memory for the
// run (about 70 bytes a file), and a list that never ends (/dev/zero,
// `yes a.fxd |`) must end the read instead of the machine's memory. A path
// is at most PATH_MAX bytes on the systems the program runs on; an entry
// longer than that names no file.
inline constexpr int64_t kMaxFileListBytes = int64_t{1} << 30;
inline constexpr size_t kMaxListedFiles = 2'000'000;
inline constexpr size_t kMaxListEntryBytes = 4096;

struct FileListLimits {
  int64_t bytes = kMaxFileListBytes;       // read, entries left out included
  size_t files = kMaxListedFiles;          // kept, after the shard
  size_t entryBytes = kMaxListEntryBytes;  // one entry, its separator not counted
};

// The shard of a run: ShardHash % count == index.
struct Shard {
  uint64_t index = 0;
  uint64_t count = 1;
};

// The entries of a file list's |text|: separated by NUL bytes when its
// first entry ends in one (as `find -print0` writes), else one per line, a
// CR before the line feed dropped. Empty entries are skipped. Each entry
// loses any leading "./", and with an absolute |sourceFolder| an absolute
// entry inside it is made relative to it, so the entries name files the
// way the walk of that folder does; other entries are kept byte for byte.
// The limits do not apply.
std::vector<std::string> SplitFileList(std::string_view text, std::string_view sourceFolder);

// Reads the list at |path| ("-": standard input) piece by piece and keeps
// the entries of |shard|, split as above, with |sourceFolder| made
// absolute against the working folder. Fails with the system's reason
// when the list cannot be read, and without one (error() 0) when it is
// past |limits|, naming the limit.
platform::Expected<std::vector<std::string>> ReadFileList(const std::string& path, const std::string& sourceFolder,
                                                          const Shard& shard = {}, const FileListLimits& limits = {});

// FNV-1a, 64 bits, of |entry|'s bytes as they are: a run's file list entry,
// the path relative to the source folder. Fixed by definition, so every
// machine and every build puts a file in the same shard.
uint64_t ShardHash(std::string_view entry);

// Keeps, in order, the entries whose ShardHash % |count| is |index|.
void KeepShard(std::vector<std::string>& entries, uint64_t index, uint64_t count);

}  // namespace tamarind
