// An output file that appears under its final name only when complete.
//
// The data goes to a file without a name (O_TMPFILE) in the destination
// folder; Commit() checks every write and the close, and only then gives it
// its final name: linked in under it, or, over an existing file, linked
// under a private name and renamed over it. Until then an existing file of
// the final name is untouched, and whatever ends the process, a SIGKILL or
// a power cut included, leaves no partial file: a file without a name goes
// with its descriptor (see ReplacementNameFor for the one instant when a
// whole copy can stay behind). Where the file
// system refuses unnamed files, the data goes to a named temporary file
// "<final name>.XXXXXX.tmp" beside the final one instead, which Discard()
// (or a failed Commit()) removes.
//
// Outputs are replaced, not rewritten in place: an existing file of the
// final name is swapped for the new one, so its hard links keep the old
// data and the new file is the writer's, with mode 0666 less the umask.
// One the user may not write (no write permission, or none at all for
// anyone) is never replaced.
#pragma once

#include <cstdio>
#include <memory>
#include <string>
#include <string_view>

#include "platform/file_handle.h"
#include "platform/outcome.h"
#include "platform/output_folder.h"

namespace tamarind::platform {

struct OutputOptions {
  // Commit() flushes the file to the disk before it takes its name, and
  // the folder after, so a power cut leaves the old file or the whole new
  // one. Costs a disk flush or two per file.
  bool sync = false;
  // False uses the named temporary file even where unnamed files work, as
  // on a file system that refuses them.
  bool unnamed = true;
};

class AtomicOutputFile {
  struct Token {
    explicit Token() = default;
  };

 public:
  // A new output that will be called |finalPath| (its folder taken as the
  // user named it, links followed). Fails with a reason naming |finalPath|.
  static Expected<std::unique_ptr<AtomicOutputFile>> Create(const std::string& finalPath, OutputOptions options = {});

  // A new output |relativePath| below |root| ("sub/page.jpg"); the folders
  // on the way must exist and are never passed through a symbolic link
  // (see OutputFolder). The name itself may not be "", "." or "..".
  static Expected<std::unique_ptr<AtomicOutputFile>> Create(const OutputFolder& root, std::string_view relativePath,
                                                            OutputOptions options = {});

  // Use Create(); public only so that make_unique can reach it.
  AtomicOutputFile(Token, OutputFolder folder, std::string name, std::string finalPath, OutputOptions options);
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;
  ~AtomicOutputFile();  // discards the file unless it was committed

  // Write through one of the two: the stream (buffered), or the descriptor
  // (for libraries that take one, such as TIFFFdOpen). Null / -1 after
  // Commit() or Discard().
  FILE* Stream() const { return stream_; }
  int Descriptor() const { return stream_ ? fileno(stream_) : -1; }
  const std::string& FinalPath() const { return final_path_; }
  // The temporary file's name in the destination folder; "" when the file
  // has none (the usual case).
  const std::string& TemporaryName() const { return temporary_name_; }

  // The name a finished file takes for an instant before it is renamed over
  // an existing |finalName|: ".<finalName>.tamarind.tmp". A SIGKILL at that
  // instant leaves a whole copy under it, which the next writer of the same
  // output removes.
  static std::string ReplacementNameFor(std::string_view finalName);

  // Flushes and closes the file and gives it the final name; callable once.
  // Fails (with a reason naming the final path) when a write, the close or
  // the renaming failed, or when the final name exists and the user may not
  // write it; the new data is then gone and the final name untouched. With
  // |sync|, a folder that cannot be flushed fails it too, with the file in
  // place but perhaps not safe from a power cut.
  Status Commit();

  // Drops the new data. Fails only when a named temporary file cannot be
  // removed (a folder that allows no removals); it is then emptied first.
  Status Discard();

 private:
  static Expected<std::unique_ptr<AtomicOutputFile>> CreateIn(OutputFolder folder, std::string name,
                                                              std::string finalPath, OutputOptions options);
  Status RefuseWriteProtectedFinalName(bool& exists) const;
  Status LinkUnnamed(int fd, bool finalNameExists);
  // |result|, once a named temporary file is gone (or emptied, with the
  // reason added, where it cannot be removed).
  Status RemoveTemporary(const FileHandle& file, Status result) const;
  Status Fail(int error) const;
  Status Fail(std::string_view why) const;

  OutputFolder folder_;
  std::string name_;        // the final name within |folder_|
  std::string final_path_;  // the same as the user knows it
  std::string temporary_name_;
  OutputOptions options_;
  FILE* stream_ = nullptr;
  // The stream's buffer, larger than stdio's 4 KiB default: writers hand
  // over a few KiB at a time (libjpeg 4 KiB), and a page's JPEG then takes
  // a few system calls instead of dozens.
  std::unique_ptr<char[]> buffer_;
  bool finished_ = false;  // committed, or discarded
};

}  // namespace tamarind::platform
