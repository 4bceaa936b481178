#include "platform/atomic_file.h"

#include <fcntl.h>
#include <linux/magic.h>
#include <stdio_ext.h>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <mutex>

#include "platform/paths.h"
#include "platform/private_name.h"

namespace tamarind::platform {

namespace {

constexpr size_t kStreamBufferBytes = size_t{1} << 16;

// What open(O_TMPFILE) fails with where the file system (or an old kernel)
// has no unnamed files.
bool RefusesUnnamedFiles(int error) { return error == EOPNOTSUPP || error == EISDIR || error == EINVAL; }

// Gives the open file |fd| the name |name| in |folder|: 0 or the error.
// The descriptor itself is the shortest way (no path to look up), allowed
// to privileged users only; others go through its entry in /proc.
int LinkDescriptor(const SystemCalls& calls, int fd, int folder, const std::string& name) {
  if (calls.LinkAt(fd, "", folder, name.c_str(), AT_EMPTY_PATH) == 0) return 0;
  if (errno != EPERM && errno != ENOENT && errno != EACCES) return errno;
  const std::string self = "/proc/self/fd/" + std::to_string(fd);
  if (calls.LinkAt(AT_FDCWD, self.c_str(), folder, name.c_str(), AT_SYMLINK_FOLLOW) == 0) return 0;
  return errno;
}

// Whether an output may take |name| in |folder|: sets |exists|, and fails
// for anything but a regular file or a link there (a device, a FIFO, a
// socket, a folder), and for a regular file the user may not write.
Status CheckFinalName(const SystemCalls& calls, int folder, const std::string& name, const std::string& finalPath,
                      bool& exists) {
  struct stat info {};
  exists = calls.StatAt(folder, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
  if (!exists) return errno == ENOENT ? Status() : Failure::System(finalPath, errno);
  // A link is replaced, never written through.
  if (S_ISLNK(info.st_mode)) return {};
  if (!S_ISREG(info.st_mode)) return Failure::About(finalPath, KindOfNonRegular(info.st_mode));
  // No write permission for anyone marks a file to keep, also for a user
  // (root) whom the permissions would not stop.
  if ((info.st_mode & 0222) == 0) return Failure::About(finalPath, "is write-protected");
  if (calls.AccessAt(folder, name.c_str(), W_OK, AT_EACCESS) != 0 && errno == EACCES)
    return Failure::System(finalPath, EACCES);
  return {};
}

// /dev holds devices and the links to standard output and error
// (/dev/stdout -> /proc/self/fd/1); /proc holds a process's open files.
// A file made there would replace one of them, so no output goes there.
Status RefuseDeviceFolder(int folder, const std::string& finalPath) {
  struct statfs system {};
  struct stat here {
  }, devices{};
  const bool proc = fstatfs(folder, &system) == 0 && system.f_type == PROC_SUPER_MAGIC;
  const bool dev = fstat(folder, &here) == 0 && stat("/dev", &devices) == 0 && here.st_dev == devices.st_dev &&
                   here.st_ino == devices.st_ino;
  if (dev) return Failure::About(finalPath, "is in /dev, where no output is made");
  if (proc) return Failure::About(finalPath, "names an open descriptor, which no output replaces");
  return {};
}

// The file the data goes to: unnamed, or else under a new private name,
// guarded until it is removed or renamed.
struct Temporary {
  FileHandle file;
  std::string name;
  std::optional<TemporaryNameGuard> guard;
};

Expected<Temporary> OpenTemporary(const SystemCalls& calls, int folder, const std::string& name,
                                  const std::string& finalPath, bool unnamed) {
  // Mode 0666 lets the kernel apply the umask (or a default ACL) exactly as
  // for any new file.
  if (unnamed) {
    FileHandle file(calls.OpenAt(folder, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666));
    if (file.IsOpen()) return Temporary{std::move(file), {}, std::nullopt};
    if (!RefusesUnnamedFiles(errno)) return Failure::System(finalPath, errno);
  }
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    Temporary temporary{FileHandle(), PrivateNameFor(name), std::nullopt};
    temporary.guard.emplace(folder, temporary.name);
    // O_EXCL | O_NOFOLLOW never follows a planted link.
    temporary.file = FileHandle(
        calls.OpenAt(folder, temporary.name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666));
    if (temporary.file.IsOpen()) return temporary;
    if (errno != EEXIST) return Failure::System(finalPath, errno);
  }
  return Failure::System(finalPath, EEXIST);
}

// The descriptor is the writer's to close, with its error checked.
int SinkClose(void*) { return 0; }

}  // namespace

// Counting none of a failed write makes stdio mark the stream failed.
ssize_t AtomicOutputFile::SinkWrite(void* cookie, const char* bytes, size_t size) {
  auto* sink = static_cast<Sink*>(cookie);
  for (size_t done = 0; done < size;) {
    const ssize_t n = sink->calls->Write(sink->fd, bytes + done, size - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (sink->error == 0) sink->error = n < 0 ? errno : EIO;
      errno = sink->error;
      return 0;
    }
    done += static_cast<size_t>(n);
  }
  return static_cast<ssize_t>(size);
}

int AtomicOutputFile::SinkSeek(void* cookie, off64_t* offset, int whence) {
  const off_t at = lseek(static_cast<Sink*>(cookie)->fd, static_cast<off_t>(*offset), whence);
  if (at < 0) return -1;
  *offset = at;
  return 0;
}

Expected<std::unique_ptr<AtomicOutputFile>> AtomicOutputFile::CreateIn(OutputFolder folder, std::string name,
                                                                       std::string finalPath, OutputOptions options) {
  const SystemCalls& calls = options.calls ? *options.calls : SystemCalls::Real();
  const int at = folder.Descriptor();
  // Refused before any work is spent on it; Commit() looks again.
  bool exists = false;
  if (Status allowed = CheckFinalName(calls, at, name, finalPath, exists); !allowed)
    return std::move(allowed).failure();
  if (Status place = RefuseDeviceFolder(at, finalPath); !place) return std::move(place).failure();
  Expected<Temporary> temporary = OpenTemporary(calls, at, name, finalPath, options.unnamed);
  if (!temporary) return std::move(temporary).failure();
  auto sink = std::make_unique<Sink>(Sink{temporary->file.Descriptor(), &calls, 0});
  std::unique_ptr<std::FILE, StreamCloser> stream(
      fopencookie(sink.get(), "wb", cookie_io_functions_t{nullptr, SinkWrite, SinkSeek, SinkClose}));
  if (!stream) {
    const int error = errno;
    if (!temporary->name.empty()) calls.UnlinkAt(at, temporary->name.c_str(), 0);
    return Failure::System(finalPath, error);
  }
  auto buffer = std::make_unique_for_overwrite<char[]>(kStreamBufferBytes);
  setvbuf(stream.get(), buffer.get(), _IOFBF, kStreamBufferBytes);
  return std::make_unique<AtomicOutputFile>(
      Token(), Parts{std::move(folder), std::move(name), std::move(finalPath), std::move(temporary->name),
                     std::move(temporary->guard), options, std::move(temporary->file), std::move(sink),
                     std::move(buffer), std::move(stream)});
}

const SystemCalls& AtomicOutputFile::Calls() const { return *sink_->calls; }

Status AtomicOutputFile::WriteState() const {
  if (sink_->error != 0) return Fail(sink_->error);
  return {};
}

Status AtomicOutputFile::Commit() {
  if (!stream_) return Failure::About(final_path_, "was already committed or discarded");
  FileHandle kept;
  Status closed = CloseForCommit(kept);
  if (!closed) return RemoveTemporary(kept, closed);
  Status placed = PutInPlace(kept);
  if (!placed) return placed;
  guard_.reset();
  if (options_.sync && Calls().Sync(folder_.Descriptor()) != 0)
    return Failure::System(final_path_, errno, "in place, but its folder was not flushed to the disk");
  return {};
}

// Flushes and closes the stream and the file, keeping a second handle in
// |kept|: the unnamed file is linked through it, and a named one that
// cannot be removed is emptied through it. The file's own close comes
// after the flush, as some file systems (NFS) report failed writes only
// then. The first failure is the one said.
Status AtomicOutputFile::CloseForCommit(FileHandle& kept) {
  const SystemCalls& calls = Calls();
  int error = calls.Flush(stream_.get()) != 0 ? errno : 0;
  if (sink_->error != 0) error = sink_->error;  // the write's own cause
  if (calls.CloseStream(stream_.release()) != 0 && !error) error = errno;
  if (!error && options_.sync && calls.Sync(file_.Descriptor()) != 0) error = errno;
  kept = FileHandle(calls.Duplicate(file_.Descriptor()));
  if (!kept.IsOpen() && !error) error = errno;
  const int fd = file_.Release();
  if (calls.Close(fd) != 0 && !error) error = errno;
  if (error) return Fail(error);
  return {};
}

Status AtomicOutputFile::PutInPlace(const FileHandle& kept) {
  const int at = folder_.Descriptor();
  bool exists = false;
  if (Status allowed = CheckFinalName(Calls(), at, name_, final_path_, exists); !allowed)
    return RemoveTemporary(kept, allowed);
  if (temporary_name_.empty()) return LinkUnnamed(kept.Descriptor(), exists);
  if (Calls().RenameAt(at, temporary_name_.c_str(), at, name_.c_str()) != 0) return RemoveTemporary(kept, Fail(errno));
  return {};
}

Status AtomicOutputFile::Discard() {
  if (!stream_) return {};
  // What the stream still buffers must not reach the file.
  __fpurge(stream_.get());
  Calls().CloseStream(stream_.release());
  FileHandle kept = std::move(file_);
  Status result = RemoveTemporary(kept, {});
  guard_.reset();
  return result;
}

Status AtomicOutputFile::RemoveTemporary(const FileHandle& file, Status result) {
  if (temporary_name_.empty() || Calls().UnlinkAt(folder_.Descriptor(), temporary_name_.c_str(), 0) == 0) {
    guard_.reset();
    return result;
  }
  // A folder that allows no removals (append-only): at least it must not
  // keep a complete copy that nobody knows of.
  const int error = errno;
  const bool emptied = file.IsOpen() && Calls().Truncate(file.Descriptor(), 0) == 0;
  Failure left = Failure::System(JoinPath(folder_.Path(), temporary_name_), error,
                                 emptied ? "emptied, but cannot be removed" : "cannot be removed");
  if (result.ok()) return left;
  return std::move(result).failure().Also(left);
}

Status AtomicOutputFile::LinkUnnamed(int fd, bool finalNameExists) {
  if (finalNameExists) return ReplaceThroughName(fd);
  // A new name: the link cannot replace anything, so the file is never
  // named but under its final name.
  const int error = LinkDescriptor(Calls(), fd, folder_.Descriptor(), name_);
  if (error == 0) return {};
  if (error != EEXIST) return Fail(error);
  // Made meanwhile: replaced as any existing file would be.
  bool exists = false;
  if (Status allowed = CheckFinalName(Calls(), folder_.Descriptor(), name_, final_path_, exists); !allowed)
    return allowed;
  return ReplaceThroughName(fd);
}

// An existing file can only be replaced by a rename, so the new one needs a
// name first, taken at the last moment and renamed at once. A process
// killed between the two calls leaves a whole copy under that name; being
// the same for every writer of this output, it is taken over (removed and
// linked afresh) by the next one, and a second Ctrl-C removes it. Should
// two processes write one output at once, each relinks whenever the other
// took the name away, and the last rename wins, with a whole file.
Status AtomicOutputFile::ReplaceThroughName(int fd) {
  const SystemCalls& calls = Calls();
  const int at = folder_.Descriptor();
  const std::string replacement = ReplacementNameFor(name_);
  TemporaryNameGuard guard(at, replacement);
  // The kernel gives a folder's renames and links one at a time, and a
  // rename over a file may flush the new data first (ext4), so a second
  // worker's link would wait inside the call, with its name about to
  // appear, for as long as that takes: a kill then leaves the copy. Waiting
  // here instead, before anything is named, leaves the copy only to a kill
  // within one uncontended link.
  static std::mutex oneAtATime;
  // That flush is started here, before anything is named, so that little
  // of it is left for the rename and the links that wait on it.
  sync_file_range(fd, 0, 0, SYNC_FILE_RANGE_WRITE);
  std::lock_guard lock(oneAtATime);
  for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
    const int error = LinkDescriptor(calls, fd, at, replacement);
    if (error == EEXIST) {
      calls.UnlinkAt(at, replacement.c_str(), 0);
      continue;
    }
    if (error) return Fail(error);
    if (calls.RenameAt(at, replacement.c_str(), at, name_.c_str()) == 0) return {};
    const int renameError = errno;
    if (renameError == ENOENT) continue;
    calls.UnlinkAt(at, replacement.c_str(), 0);
    return Fail(renameError);
  }
  return Fail(EEXIST);
}

}  // namespace tamarind::platform
