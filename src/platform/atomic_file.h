// An output file that appears under its final name only when complete.
//
// The data goes to a fresh file beside the final one (same folder, so the
// rename cannot cross file systems) whose name ends in ".tmp"; Commit()
// checks the close and renames it over the final name. Until then an
// existing file of the final name is untouched, and a failure or a discard
// removes the temporary file.
#pragma once

#include <cstdio>
#include <memory>
#include <string>

namespace tamarind::platform {

class AtomicOutputFile {
  struct Token {
    explicit Token() = default;
  };

 public:
  // Creates "<final name>.XXXXXX.tmp" beside |finalPath| exclusively, with
  // mode 0666 less the umask, open for binary writing. Returns null and
  // fills |error| when it cannot be made.
  static std::unique_ptr<AtomicOutputFile> Create(const std::string& finalPath, std::string* error = nullptr);

  // Use Create(); public only so that make_unique can reach it.
  AtomicOutputFile(Token, FILE* stream, std::string tempPath, std::string finalPath)
      : stream_(stream), tempPath_(std::move(tempPath)), finalPath_(std::move(finalPath)) {}
  AtomicOutputFile(const AtomicOutputFile&) = delete;
  AtomicOutputFile& operator=(const AtomicOutputFile&) = delete;
  ~AtomicOutputFile();  // discards the file unless it was committed

  // The stream to write to; null after Commit() or Discard().
  FILE* Stream() const { return stream_; }
  const std::string& TempPath() const { return tempPath_; }
  const std::string& FinalPath() const { return finalPath_; }

  // Closes the stream and renames the file over the final name; callable
  // once. False (with |error| filled) when a write, the close or the rename
  // failed; the temporary file is then gone and the final name untouched.
  //
  // There is no fsync: a conversion run writes thousands of pages and the
  // rename already guarantees that a crashed or killed process never leaves
  // a partial file under the final name.
  bool Commit(std::string* error = nullptr);

  // Closes the stream and removes the temporary file.
  void Discard();

 private:
  FILE* stream_;
  // The stream's buffer, larger than stdio's 4 KiB default: writers hand
  // over a few KiB at a time (libjpeg 4 KiB), and a page's JPEG then takes
  // a few system calls instead of dozens.
  std::unique_ptr<char[]> buffer_;
  std::string tempPath_;
  std::string finalPath_;
  bool finished_ = false;  // committed, or the temporary file removed
  int interruptSlot_ = -1;  // see platform/interrupt.h
};

}  // namespace tamarind::platform
