// File-system calls of the conversion driver: folders, listings, wildcard
// names, file times and whole-entry appends. Nothing here changes the
// working directory.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/outcome.h"

namespace tamarind::platform {

// Creates |path| and every missing ancestor, like `mkdir -p`. A folder that
// already exists (or that another process makes meanwhile) is success; a
// trailing separator is harmless. Fails naming the level that could not be
// made, with the system's reason.
Status MakeFolders(const std::string& path);

// Creates the last level of |path| only; an existing folder is success.
Status MakeFolder(const std::string& path);

bool IsFolder(const std::string& path);

struct FolderEntry {
  enum class Kind { File, Folder, Other };
  std::string name;
  Kind kind = Kind::Other;
};

// The entries of |folder| in byte order of their names, without "." and
// "..". Regular files (also through a link) are Files; real folders are
// Folders; links to folders, devices, pipes and sockets are Other, so a
// walk never follows a link into a folder. Fails, naming the folder, when
// it cannot be read.
Expected<std::vector<FolderEntry>> ListFolder(const std::string& folder);

// Matches |name| against |pattern| with `*` (any run) and `?` (one
// character), ignoring ASCII case. "*.*" matches every name, also one
// without a dot.
bool MatchesWildcard(std::string_view name, std::string_view pattern);

struct FileTime {
  int64_t seconds = 0;
  int64_t nanoseconds = 0;
  friend auto operator<=>(const FileTime&, const FileTime&) = default;
};

struct FileStatus {
  bool regular = false;
  int64_t size = 0;
  FileTime accessed;
  FileTime modified;
  uint64_t device = 0;
  uint64_t inode = 0;
};

// Status of |path| with links followed; the failure keeps stat's error
// (ENOENT when it does not exist). Never opens the file, so a FIFO or a
// device cannot make it wait.
Expected<FileStatus> StatusOf(const std::string& path);

// True when |path| leads to a character device (/dev/null).
bool IsCharacterDevice(const std::string& path);

// True when |a| and |b| name the same existing file (links followed).
bool SameFile(const std::string& a, const std::string& b);

// Sets the access and modification times of |path| (links followed).
Status SetFileTimes(const std::string& path, const FileTime& accessed, const FileTime& modified);

// The local time formatted with strftime |format|.
std::string LocalTimeText(const char* format);

// |seconds| since 1970 as local calendar time, with the local time's offset
// from UTC in minutes (east positive); false when the system cannot say.
bool LocalCalendar(int64_t seconds, std::tm& local, int& utcOffsetMinutes);

// Gives the file open as |fd| the permission bits of the existing file
// |path|, so that a replacement of a private file stays private. Nothing
// where the system keeps permissions in inherited ACLs (Windows).
void CopyPermissionsOnto(const std::string& path, int fd);

// Appends |bytes| to |path| (created 0666 less the umask when missing)
// whole or not at all: with a single write, so entries of concurrent
// writers never interleave, and a part that a full disk cut short is taken
// back (the failure then says the system's reason: "No space left on
// device", "File too large"). Only a regular file is written: a pipe or a
// device named as the log fails at once (see OpenRegularFile).
// Holds the file's exclusive lock (flock) meanwhile, so that it waits for
// an entry AppendPieces is writing.
Status AppendWhole(const std::string& path, std::string_view bytes);

// Takes one piece of a text, in order; a failure stops the pieces.
using PieceSink = std::function<Status(std::string_view piece)>;

// Appends an entry too large to hold in memory at once: |pieces| hands it
// to the sink piece by piece. The file's exclusive lock is held until the
// last piece is in, so entries of concurrent writers never interleave; an
// entry that could not be written whole (a full disk, a piece that could
// not be had) is cut back off.
Status AppendPieces(const std::string& path, const std::function<Status(const PieceSink& sink)>& pieces);

}  // namespace tamarind::platform
