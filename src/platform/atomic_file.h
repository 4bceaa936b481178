// An output file that appears under its final name only when complete.
//
// The data goes to a file without a name (O_TMPFILE) in the destination
// folder; Commit() checks every write and the close, and only then gives it
// its final name: linked in under it, or, over an existing file, linked
// under a private name and renamed over it at once. Until then an existing
// file of the final name is untouched, and whatever ends the process, a
// SIGKILL or a power cut included, leaves no partial file: a file without a
// name goes with its descriptor (see ReplacementNameFor for the one instant
// when a whole copy can stay behind). Where the file system refuses
// unnamed files, the data goes to a named temporary file
// "<final name>.XXXXXX.tmp" beside the final one instead, which Discard()
// (or a failed Commit(), or a second Ctrl-C) removes.
//
// Outputs only ever replace regular files (and symbolic links, which are
// replaced, never written through). A device, a FIFO, a socket or a folder
// under the final name fails the output with what it is, and so does a
// name in /dev or in a process's descriptor folder (/dev/stdout,
// /dev/fd/3, /proc/self/fd/1): standard output is "-" where a switch takes
// it. An existing file is swapped for the new one, so its hard links keep
// the old data and the new file is the writer's, with mode 0666 less the
// umask. One the user may not write (no write permission, or none at all
// for anyone) is never replaced.
#pragma once

#include <sys/types.h>

#include <cstdio>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "platform/file_handle.h"
#include "platform/interrupt.h"
#include "platform/outcome.h"
#include "platform/output_folder.h"
#include "platform/system_calls.h"

namespace tamarind::platform {

struct OutputOptions {
  // Commit() flushes the file to the disk before it takes its name, and
  // the folder after, so a power cut leaves the old file or the whole new
  // one. Costs a disk flush or two per file.
  bool sync = false;
  // False uses the named temporary file even where unnamed files work, as
  // on a file system that refuses them.
  bool unnamed = true;
  // The system calls the writer makes; null for the system's own (tests
  // pass calls that fail or count).
  const SystemCalls* calls = nullptr;
};

class AtomicOutputFile {
  struct Token {
    explicit Token() = default;
  };
  // Where the stream's writes go: the file, through |calls|, keeping the
  // first write's failure.
  struct Sink {
    int fd = -1;
    const SystemCalls* calls = nullptr;
    int error = 0;
  };
  struct StreamCloser {
    void operator()(std::FILE* stream) const;
  };
  // What Create() made, every part valid; the object is made from it whole.
  struct Parts {
    OutputFolder folder;
    std::string name;
    std::string finalPath;
    std::string temporaryName;
    std::optional<TemporaryNameGuard> guard;
    OutputOptions options;
    FileHandle file;
    std::unique_ptr<Sink> sink;
    std::unique_ptr<char[]> buffer;
    std::unique_ptr<std::FILE, StreamCloser> stream;
  };

 public:
  // A new output that will be called |finalPath| (its folder taken as the
  // user named it, links followed). Fails with a reason naming |finalPath|
  // (or its folder, when that is what is missing).
  static Expected<std::unique_ptr<AtomicOutputFile>> Create(const std::string& finalPath, OutputOptions options = {});

  // A new output |relativePath| below |root| ("sub/page.jpg"); the folders
  // on the way must exist and are never passed through a symbolic link
  // (see OutputFolder). The name itself may not be "", "." or "..".
  static Expected<std::unique_ptr<AtomicOutputFile>> Create(const OutputFolder& root, std::string_view relativePath,
                                                            OutputOptions options = {});

  // Use Create(); public only so that make_unique can reach it.
  AtomicOutputFile(Token, Parts&& parts);
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;
  ~AtomicOutputFile();  // discards the file unless it was committed

  // The stream to write through (buffered); null after Commit() or
  // Discard(). Its failed writes are kept, so Commit() names their cause.
  std::FILE* Stream() const { return stream_.get(); }
  // The file's descriptor, for a call that needs one (fchmod); data
  // written through it bypasses the stream's buffer. -1 once finished.
  int Descriptor() const { return stream_ ? file_.Descriptor() : -1; }
  const std::string& FinalPath() const { return final_path_; }
  // The temporary file's name in the destination folder; "" when the file
  // has none (the usual case).
  const std::string& TemporaryName() const { return temporary_name_; }

  // The first write through Stream() that failed, with the system's reason
  // ("out/a.pdf: No space left on device"); ok while none did.
  Status WriteState() const;

  // The name a finished file takes for an instant before it is renamed over
  // an existing |finalName|: ".<finalName>.tamarind.tmp". A SIGKILL at that
  // instant leaves a whole copy under it, which the next writer of the same
  // output removes.
  static std::string ReplacementNameFor(std::string_view finalName);

  // Flushes and closes the file and gives it the final name; callable once.
  // Fails (with a reason naming the final path and the system's cause) when
  // a write, the flush, the close or the renaming failed, or when the final
  // name is not a regular file or is one the user may not write; the new
  // data is then gone and the final name untouched. With |sync|, a folder
  // that cannot be flushed fails it too, with the file in place but perhaps
  // not safe from a power cut.
  Status Commit();

  // Drops the new data. Fails only when a named temporary file cannot be
  // removed (a folder that allows no removals); it is then emptied first.
  Status Discard();

 private:
  // The stream's calls (fopencookie): all of a write or, with the cause
  // kept in the Sink, none; a seek of the file.
  static ssize_t SinkWrite(void* cookie, const char* bytes, size_t size);
  static int SinkSeek(void* cookie, off64_t* offset, int whence);

  static Expected<std::unique_ptr<AtomicOutputFile>> CreateIn(OutputFolder folder, std::string name,
                                                              std::string finalPath, OutputOptions options);
  const SystemCalls& Calls() const;
  Status CloseForCommit(FileHandle& kept);
  Status PutInPlace(const FileHandle& kept);
  Status LinkUnnamed(int fd, bool finalNameExists);
  Status ReplaceThroughName(int fd);
  // |result|, once a named temporary file is gone (or emptied, with the
  // reason added, where it cannot be removed).
  Status RemoveTemporary(const FileHandle& file, Status result);
  Failure Fail(int error) const;

  OutputFolder folder_;
  std::string name_;        // the final name within |folder_|
  std::string final_path_;  // the same as the user knows it
  std::string temporary_name_;
  std::optional<TemporaryNameGuard> guard_;  // while |temporary_name_| stands
  OutputOptions options_;
  FileHandle file_;
  std::unique_ptr<Sink> sink_;
  // The stream's buffer, larger than stdio's 4 KiB default: writers hand
  // over a few KiB at a time (libjpeg 4 KiB), and a page's JPEG then takes
  // a few system calls instead of dozens. Outlives the stream.
  std::unique_ptr<char[]> buffer_;
  std::unique_ptr<std::FILE, StreamCloser> stream_;  // null once finished
};

}  // namespace tamarind::platform
