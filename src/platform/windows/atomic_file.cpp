#include "platform/atomic_file.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/private_name.h"
#include "platform/windows/handles.h"
#include "platform/windows/unicode.h"

// Windows has no unnamed files: the data goes to "<final name>.XXXXXX.tmp"
// beside the final name, created exclusively (never through a planted
// link) and marked for deletion while it is written, so that a process
// that dies, even by TerminateProcess, leaves nothing behind. Commit()
// takes the mark off, closes the file and moves it over the final name
// with MoveFileExW(MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH): an
// existing file of that name stays whole until the move. A process killed
// between the close and the move leaves the complete temporary file.

namespace tamarind::platform {

namespace {

constexpr size_t kStreamBufferBytes = size_t{1} << 16;

// Marks the open file for deletion when its last handle closes, or takes
// the mark off again.
bool SetDeleteOnClose(HANDLE file, bool remove) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = remove;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

// An existing final name must be a regular file the user may write: a
// folder or a device is never replaced, and the read-only attribute marks a
// file to keep (MoveFileExW would refuse it too, with a less telling
// reason).
Status RefuseNonRegularFinalName(const std::string& finalPath) {
  const DWORD attributes = GetFileAttributesW(WidePath(finalPath).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    // A device name ("NUL", "COM1") has no attributes but opens.
    if (IsCharacterDevice(finalPath)) return Failure::About(finalPath, "is a device");
    return {};
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Failure::About(finalPath, "is a folder");
  if (attributes & FILE_ATTRIBUTE_DEVICE) return Failure::About(finalPath, "is a device");
  if (attributes & FILE_ATTRIBUTE_READONLY) return Failure::About(finalPath, "is write-protected");
  return {};
}

}  // namespace

Expected<std::unique_ptr<AtomicOutputFile>> AtomicOutputFile::CreateIn(OutputFolder folder, std::string name,
                                                                       std::string finalPath, OutputOptions options) {
  if (Status allowed = RefuseNonRegularFinalName(finalPath); !allowed) return std::move(allowed).failure();
  HANDLE handle = INVALID_HANDLE_VALUE;
  std::string temporary;
  for (int attempt = 0; handle == INVALID_HANDLE_VALUE && attempt < kNameAttempts; ++attempt) {
    temporary = PrivateNameFor(name);
    // CREATE_NEW fails on any existing name, a link included.
    handle = CreateFileW(WidePath(JoinPath(folder.Path(), temporary)).c_str(), GENERIC_WRITE | DELETE,
                         FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE && GetLastError() != ERROR_FILE_EXISTS)
      return FailureFor(finalPath, GetLastError());
  }
  if (handle == INVALID_HANDLE_VALUE) return FailureFor(finalPath, ERROR_FILE_EXISTS);
  SetDeleteOnClose(handle, true);  // where refused, Discard() removes it by name
  Parts parts{std::move(folder), std::move(name), std::move(finalPath), std::move(temporary), std::nullopt, options};
  parts.file = FileHandle(AdoptHandle(handle, _O_WRONLY));
  // The stream writes through a descriptor of its own on the same file.
  const int streamFd = parts.file.IsOpen() ? _dup(parts.file.Descriptor()) : -1;
  parts.stream.reset(streamFd < 0 ? nullptr : _fdopen(streamFd, "wb"));
  if (!parts.stream) {
    if (streamFd >= 0) _close(streamFd);
    parts.file = FileHandle();
    DeleteFileW(WidePath(JoinPath(parts.folder.Path(), parts.temporaryName)).c_str());
    return Failure::System(parts.finalPath, EMFILE);
  }
  parts.sink = std::make_unique<Sink>();
  parts.buffer = std::make_unique_for_overwrite<char[]>(kStreamBufferBytes);
  setvbuf(parts.stream.get(), parts.buffer.get(), _IOFBF, kStreamBufferBytes);
  return std::make_unique<AtomicOutputFile>(Token(), std::move(parts));
}

Status AtomicOutputFile::WriteState() const {
  if (stream_ && std::ferror(stream_.get())) return Fail(errno != 0 ? errno : EIO);
  return {};
}

Status AtomicOutputFile::Commit() {
  if (!stream_) return Failure::About(final_path_, "was already committed or discarded");
  const HANDLE handle = HandleOf(file_.Descriptor());
  Status result = WriteState();
  if (result && std::fflush(stream_.get()) != 0) result = Fail(errno != 0 ? errno : EIO);
  if (result && options_.sync && !FlushFileBuffers(handle)) result = FailureFor(final_path_, GetLastError());
  if (result) result = RefuseNonRegularFinalName(final_path_);
  // Only a file about to take its name loses the deletion mark.
  if (result && !SetDeleteOnClose(handle, false)) result = FailureFor(final_path_, GetLastError());
  if (std::fclose(stream_.release()) != 0 && result) result = Fail(errno != 0 ? errno : EIO);
  if (Status closed = file_.Close(); !closed && result) result = std::move(closed).failure().WithPath(final_path_);
  if (!result) return RemoveTemporary(file_, std::move(result));
  const std::wstring temporary = WidePath(JoinPath(folder_.Path(), temporary_name_));
  if (!MoveFileExW(temporary.c_str(), WidePath(final_path_).c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return RemoveTemporary(file_, FailureFor(final_path_, GetLastError()));
  return {};
}

Status AtomicOutputFile::Discard() {
  if (!stream_) return {};
  // Marked for deletion, the file goes with its last handle; whatever the
  // stream still buffers goes nowhere.
  std::fclose(stream_.release());
  file_ = FileHandle();
  return RemoveTemporary(file_, {});
}

Status AtomicOutputFile::RemoveTemporary(const FileHandle&, Status result) {
  const std::string path = JoinPath(folder_.Path(), temporary_name_);
  if (DeleteFileW(WidePath(path).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return result;
  Failure left = FailureFor(path, GetLastError(), "cannot be removed");
  if (result) return Failure::About(final_path_, left.message());
  return std::move(result).failure().Also(left);
}

}  // namespace tamarind::platform
