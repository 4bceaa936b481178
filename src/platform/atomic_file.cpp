#include "platform/atomic_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <random>

#include "platform/interrupt.h"
#include "platform/paths.h"

namespace tamarind::platform {

namespace {

// Leaves room for the suffix within the usual 255-byte name limit.
constexpr size_t kMaxStemBytes = 200;
constexpr int kCreateAttempts = 64;
constexpr size_t kStreamBufferBytes = size_t{1} << 16;

std::string RandomTag() {
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device device;
  std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
  std::string tag(6, '\0');
  for (char& c : tag) c = kAlphabet[pick(device)];
  return tag;
}

std::string TempPathFor(const std::string& finalPath) {
  std::string_view folder = FolderOf(finalPath);
  std::string_view name = finalPath;
  if (size_t cut = finalPath.rfind(kSeparator); cut != std::string::npos) name.remove_prefix(cut + 1);
  std::string stem(name.substr(0, kMaxStemBytes));
  return JoinPath(folder, stem + "." + RandomTag() + ".tmp");
}

std::string Describe(const std::string& path, int error) { return path + ": " + std::strerror(error); }

}  // namespace

std::unique_ptr<AtomicOutputFile> AtomicOutputFile::Create(const std::string& finalPath, std::string* error) {
  for (int attempt = 0; attempt < kCreateAttempts; ++attempt) {
    std::string tempPath = TempPathFor(finalPath);
    // O_EXCL never follows a planted link; mode 0666 lets the kernel apply
    // the umask (or a default ACL) exactly as for any new file.
    int fd = open(tempPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) {
      if (error) *error = Describe(tempPath, errno);
      return nullptr;
    }
    FILE* stream = fdopen(fd, "wb");
    if (!stream) {
      int saved = errno;
      close(fd);
      unlink(tempPath.c_str());
      if (error) *error = Describe(tempPath, saved);
      return nullptr;
    }
    auto file = std::make_unique<AtomicOutputFile>(Token(), stream, std::move(tempPath), finalPath);
    file->buffer_ = std::make_unique_for_overwrite<char[]>(kStreamBufferBytes);
    setvbuf(stream, file->buffer_.get(), _IOFBF, kStreamBufferBytes);
    file->interruptSlot_ = RegisterUnfinished(file->tempPath_.c_str());
    return file;
  }
  if (error) *error = Describe(finalPath, EEXIST);
  return nullptr;
}

AtomicOutputFile::~AtomicOutputFile() { Discard(); }

bool AtomicOutputFile::Commit(std::string* error) {
  if (finished_) {
    if (error) *error = tempPath_ + ": already finished";
    return false;
  }
  finished_ = true;
  bool written = !ferror(stream_);
  int closeResult = fclose(stream_);
  int saved = errno;
  stream_ = nullptr;
  if (!written || closeResult != 0) {
    unlink(tempPath_.c_str());
    UnregisterUnfinished(interruptSlot_);
    if (error) *error = Describe(tempPath_, written ? saved : EIO);
    return false;
  }
  // Unregistered only after the rename: an interrupt in between then
  // removes a name that is already gone, never a finished output.
  if (rename(tempPath_.c_str(), finalPath_.c_str()) != 0) {
    saved = errno;
    unlink(tempPath_.c_str());
    UnregisterUnfinished(interruptSlot_);
    if (error) *error = Describe(finalPath_, saved);
    return false;
  }
  UnregisterUnfinished(interruptSlot_);
  return true;
}

void AtomicOutputFile::Discard() {
  if (finished_) return;
  finished_ = true;
  fclose(stream_);
  stream_ = nullptr;
  unlink(tempPath_.c_str());
  UnregisterUnfinished(interruptSlot_);
}

}  // namespace tamarind::platform
