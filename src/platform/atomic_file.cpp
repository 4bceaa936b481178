#include "platform/atomic_file.h"

#include <fcntl.h>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <random>

#include "platform/paths.h"

namespace tamarind::platform {

namespace {

// Leaves room for the suffix within the usual 255-byte name limit.
constexpr size_t kMaxStemBytes = 200;
constexpr int kNameAttempts = 64;
constexpr size_t kStreamBufferBytes = size_t{1} << 16;

std::string RandomTag() {
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
  std::random_device device;
  std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
  std::string tag(6, '\0');
  for (char& c : tag) c = kAlphabet[pick(device)];
  return tag;
}

// "<name>.XXXXXX.tmp": never taken for a fax or an output by a later run.
std::string PrivateNameFor(const std::string& name) {
  return name.substr(0, kMaxStemBytes) + "." + RandomTag() + ".tmp";
}

// What open(O_TMPFILE) fails with where the file system (or an old kernel)
// has no unnamed files.
bool RefusesUnnamedFiles(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

// FNV-1a, to tell long names apart that share their first bytes.
uint64_t NameHash(std::string_view name) {
  uint64_t hash = 0xcbf29ce484222325u;
  for (char c : name) hash = (hash ^ static_cast<uint8_t>(c)) * 0x100000001b3u;
  return hash;
}

// Gives the open file |fd| the name |name| in |folder|: 0 or the error.
int LinkDescriptor(int fd, int folder, const std::string& name) {
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (linkat(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  const int error = errno;
  // Without /proc, the descriptor itself (allowed to privileged users only).
  if (error == ENOENT && linkat(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
  return error;
}

}  // namespace

Expected<std::unique_ptr<AtomicOutputFile>> AtomicOutputFile::Create(const std::string& finalPath,
                                                                     OutputOptions options) {
  const size_t cut = finalPath.rfind(kSeparator);
  std::string name = cut == std::string::npos ? finalPath : finalPath.substr(cut + 1);
  if (name.empty() || name == "." || name == "..") return Failure{finalPath + ": is not a file name"};
  Expected<OutputFolder> folder = OutputFolder::Open(std::string(FolderOf(finalPath)));
  if (!folder) return Failure{folder.reason()};
  return CreateIn(std::move(*folder), std::move(name), finalPath, options);
}

Expected<std::unique_ptr<AtomicOutputFile>> AtomicOutputFile::Create(const OutputFolder& root,
                                                                     std::string_view relativePath,
                                                                     OutputOptions options) {
  const size_t cut = relativePath.rfind(kSeparator);
  std::string name(cut == std::string_view::npos ? relativePath : relativePath.substr(cut + 1));
  std::string finalPath = JoinPath(root.Path(), relativePath);
  if (name.empty() || name == "." || name == "..") return Failure{finalPath + ": is not a file name"};
  Expected<OutputFolder> folder = root.Beneath(cut == std::string_view::npos ? "" : relativePath.substr(0, cut));
  if (!folder) return Failure{folder.reason()};
  return CreateIn(std::move(*folder), std::move(name), std::move(finalPath), options);
}

Expected<std::unique_ptr<AtomicOutputFile>> AtomicOutputFile::CreateIn(OutputFolder folder, std::string name,
                                                                       std::string finalPath, OutputOptions options) {
  auto file = std::make_unique<AtomicOutputFile>(Token(), std::move(folder), std::move(name), std::move(finalPath),
                                                 options);
  const int at = file->folder_.Descriptor();
  // Mode 0666 lets the kernel apply the umask (or a default ACL) exactly as
  // for any new file.
  int fd = options.unnamed ? openat(at, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666) : -1;
  if (options.unnamed && fd < 0 && !RefusesUnnamedFiles(errno)) return Failure{file->Fail(errno).reason()};
  for (int attempt = 0; fd < 0 && attempt < kNameAttempts; ++attempt) {
    // O_EXCL | O_NOFOLLOW never follows a planted link.
    std::string temporary = PrivateNameFor(file->name_);
    fd = openat(at, temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd >= 0) file->temporary_name_ = std::move(temporary);
    else if (errno != EEXIST) return Failure{file->Fail(errno).reason()};
  }
  if (fd < 0) return Failure{file->Fail(EEXIST).reason()};
  file->stream_ = fdopen(fd, "wb");
  if (!file->stream_) {
    const int error = errno;
    close(fd);
    if (!file->temporary_name_.empty()) unlinkat(at, file->temporary_name_.c_str(), 0);
    file->finished_ = true;
    return Failure{file->Fail(error).reason()};
  }
  file->buffer_ = std::make_unique_for_overwrite<char[]>(kStreamBufferBytes);
  setvbuf(file->stream_, file->buffer_.get(), _IOFBF, kStreamBufferBytes);
  return file;
}

AtomicOutputFile::AtomicOutputFile(Token, OutputFolder folder, std::string name, std::string finalPath,
                                   OutputOptions options)
    : folder_(std::move(folder)), name_(std::move(name)), final_path_(std::move(finalPath)), options_(options) {}

AtomicOutputFile::~AtomicOutputFile() { (void)Discard(); }

Status AtomicOutputFile::Commit() {
  if (finished_) return Fail("already finished");
  finished_ = true;
  const int fd = fileno(stream_);
  int error = 0;
  errno = 0;
  if (fflush(stream_) != 0 || ferror(stream_)) error = errno ? errno : EIO;
  if (!error && options_.sync && fsync(fd) != 0) error = errno;
  // A second handle outlives the stream: the unnamed file is linked through
  // it, and a named one that cannot be removed is emptied through it. The
  // stream's close comes first, as some file systems (NFS) report failed
  // writes only then.
  FileHandle kept(fcntl(fd, F_DUPFD_CLOEXEC, 0));
  if (!kept.IsOpen() && !error) error = errno;
  if (fclose(stream_) != 0 && !error) error = errno;
  stream_ = nullptr;
  if (error) return RemoveTemporary(kept, Fail(error));
  bool exists = false;
  if (Status allowed = RefuseWriteProtectedFinalName(exists); !allowed) return RemoveTemporary(kept, allowed);
  const int at = folder_.Descriptor();
  if (temporary_name_.empty()) {
    if (Status linked = LinkUnnamed(kept.Descriptor(), exists); !linked) return linked;
  } else if (renameat(at, temporary_name_.c_str(), at, name_.c_str()) != 0) {
    return RemoveTemporary(kept, Fail(errno));
  }
  if (options_.sync && fsync(at) != 0) return Fail(errno);
  return {};
}

Status AtomicOutputFile::Discard() {
  if (finished_) return {};
  finished_ = true;
  // What the stream still buffers must not reach the file.
  __fpurge(stream_);
  FileHandle kept(fcntl(fileno(stream_), F_DUPFD_CLOEXEC, 0));
  fclose(stream_);
  stream_ = nullptr;
  return RemoveTemporary(kept, {});
}

Status AtomicOutputFile::RemoveTemporary(const FileHandle& file, Status result) const {
  if (temporary_name_.empty() || unlinkat(folder_.Descriptor(), temporary_name_.c_str(), 0) == 0) return result;
  // A folder that allows no removals (append-only): at least it must not
  // keep a complete copy that nobody knows of.
  const int error = errno;
  const bool emptied = file.IsOpen() && ftruncate(file.Descriptor(), 0) == 0;
  std::string why = JoinPath(folder_.Path(), temporary_name_) + ": cannot be removed (" + ErrorText(error) +
                    (emptied ? "), emptied" : ")");
  return Failure{result.ok() ? final_path_ + ": " + why : result.reason() + "; " + why};
}

Status AtomicOutputFile::RefuseWriteProtectedFinalName(bool& exists) const {
  struct stat info {};
  const int at = folder_.Descriptor();
  exists = fstatat(at, name_.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
  // A folder fails the rename; a link is replaced, never written through.
  if (!exists || !S_ISREG(info.st_mode)) return {};
  // No write permission for anyone marks a file to keep, also for a user
  // (root) whom the permissions would not stop.
  if ((info.st_mode & 0222) == 0) return Fail("is write-protected");
  if (faccessat(at, name_.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES) return Fail(EACCES);
  return {};
}

std::string AtomicOutputFile::ReplacementNameFor(std::string_view finalName) {
  constexpr std::string_view kSuffix = ".tamarind.tmp";
  constexpr size_t kNameMax = 255;
  if (1 + finalName.size() + kSuffix.size() <= kNameMax) return "." + std::string(finalName) + std::string(kSuffix);
  char hash[17];
  std::snprintf(hash, sizeof hash, "%016llx", static_cast<unsigned long long>(NameHash(finalName)));
  return "." + std::string(finalName.substr(0, kMaxStemBytes)) + "." + hash + std::string(kSuffix);
}

Status AtomicOutputFile::LinkUnnamed(int fd, bool finalNameExists) {
  const int at = folder_.Descriptor();
  if (!finalNameExists) {
    const int error = LinkDescriptor(fd, at, name_);
    if (error == 0) return {};
    if (error != EEXIST) return Fail(error);
    // Made meanwhile: replaced as any existing file would be.
    bool exists = false;
    if (Status allowed = RefuseWriteProtectedFinalName(exists); !allowed) return allowed;
  }
  // An existing file can only be replaced by a rename, so the new one needs
  // a name first. A process killed between the two steps leaves a whole
  // copy under that name; being the same for every writer of this output,
  // it is taken over (removed and linked afresh) by the next one. Should
  // two processes write one output at once, each relinks whenever the
  // other took the name away, and the last rename wins, with a whole file.
  const std::string replacement = ReplacementNameFor(name_);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const int error = LinkDescriptor(fd, at, replacement);
    if (error == EEXIST) {
      unlinkat(at, replacement.c_str(), 0);
      continue;
    }
    if (error) return Fail(error);
    if (renameat(at, replacement.c_str(), at, name_.c_str()) == 0) return {};
    const int renameError = errno;
    if (renameError == ENOENT) continue;
    unlinkat(at, replacement.c_str(), 0);
    return Fail(renameError);
  }
  return Fail(EEXIST);
}

Status AtomicOutputFile::Fail(int error) const { return Fail(ErrorText(error)); }

Status AtomicOutputFile::Fail(std::string_view why) const { return Failure{final_path_ + ": " + std::string(why)}; }

}  // namespace tamarind::platform
