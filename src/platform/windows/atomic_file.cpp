#include "platform/atomic_file.h"

#include <fcntl.h>
#include <io.h>
#include <windows.h>

#include <cstdint>
#include <cstdio>
#include <random>

#include "platform/paths.h"
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

constexpr size_t kMaxStemBytes = 200;
constexpr int kNameAttempts = 64;
constexpr size_t kStreamBufferBytes = size_t{1} << 16;

std::string RandomTag() {
  static constexpr char kAlphabet[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device device;
  std::uniform_int_distribution<size_t> pick(0, sizeof kAlphabet - 2);
  std::string tag(6, '\0');
  for (char& c : tag) c = kAlphabet[pick(device)];
  return tag;
}

std::string PrivateNameFor(const std::string& name) { return name.substr(0, kMaxStemBytes) + "." + RandomTag() + ".tmp"; }

uint64_t NameHash(std::string_view name) {
  uint64_t hash = 0xcbf29ce484222325u;
  for (char c : name) hash = (hash ^ static_cast<uint8_t>(c)) * 0x100000001b3u;
  return hash;
}

// Marks the open file for deletion when its last handle closes, or takes
// the mark off again.
bool SetDeleteOnClose(HANDLE file, bool remove) {
  FILE_DISPOSITION_INFO disposition{};
  disposition.DeleteFile = remove;
  return SetFileInformationByHandle(file, FileDispositionInfo, &disposition, sizeof disposition);
}

}  // namespace

Expected<std::unique_ptr<AtomicOutputFile>> AtomicOutputFile::Create(const std::string& finalPath,
                                                                     OutputOptions options) {
  const size_t cut = LastSeparator(finalPath);
  std::string name = cut == std::string::npos ? finalPath.substr(RootLength(finalPath)) : finalPath.substr(cut + 1);
  if (name.empty() || name == "." || name == ".." || name.find(':') != std::string::npos)
    return Failure{finalPath + ": is not a file name"};
  Expected<OutputFolder> folder = OutputFolder::Open(std::string(FolderOf(finalPath)));
  if (!folder) return Failure{folder.reason()};
  return CreateIn(std::move(*folder), std::move(name), finalPath, options);
}

Expected<std::unique_ptr<AtomicOutputFile>> AtomicOutputFile::Create(const OutputFolder& root,
                                                                     std::string_view relativePath,
                                                                     OutputOptions options) {
  const size_t cut = LastSeparator(relativePath);
  std::string name(cut == std::string_view::npos ? relativePath : relativePath.substr(cut + 1));
  std::string finalPath = JoinPath(root.Path(), relativePath);
  if (name.empty() || name == "." || name == ".." || name.find(':') != std::string::npos)
    return Failure{finalPath + ": is not a file name"};
  Expected<OutputFolder> folder = root.Beneath(cut == std::string_view::npos ? "" : relativePath.substr(0, cut));
  if (!folder) return Failure{folder.reason()};
  return CreateIn(std::move(*folder), std::move(name), std::move(finalPath), options);
}

Expected<std::unique_ptr<AtomicOutputFile>> AtomicOutputFile::CreateIn(OutputFolder folder, std::string name,
                                                                       std::string finalPath, OutputOptions options) {
  auto file = std::make_unique<AtomicOutputFile>(Token(), std::move(folder), std::move(name), std::move(finalPath),
                                                 options);
  HANDLE handle = INVALID_HANDLE_VALUE;
  for (int attempt = 0; handle == INVALID_HANDLE_VALUE && attempt < kNameAttempts; ++attempt) {
    std::string temporary = PrivateNameFor(file->name_);
    // CREATE_NEW fails on any existing name, a link included.
    handle = CreateFileW(WidePath(JoinPath(file->folder_.Path(), temporary)).c_str(), GENERIC_WRITE | DELETE,
                         FILE_SHARE_READ | FILE_SHARE_DELETE, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle != INVALID_HANDLE_VALUE) file->temporary_name_ = std::move(temporary);
    else if (GetLastError() != ERROR_FILE_EXISTS) return Failure{file->Fail(GetLastError()).reason()};
  }
  if (handle == INVALID_HANDLE_VALUE) return Failure{file->Fail(ERROR_FILE_EXISTS).reason()};
  SetDeleteOnClose(handle, true);  // where refused, Discard() removes it by name
  const int fd = AdoptHandle(handle, _O_WRONLY);
  file->stream_ = fd < 0 ? nullptr : _fdopen(fd, "wb");
  if (!file->stream_) {
    if (fd >= 0) _close(fd);
    DeleteFileW(WidePath(JoinPath(file->folder_.Path(), file->temporary_name_)).c_str());
    file->finished_ = true;
    return Failure{file->Fail("too many open files").reason()};
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
  const HANDLE handle = HandleOf(fileno(stream_));
  bool failed = fflush(stream_) != 0 || ferror(stream_);
  DWORD error = failed ? GetLastError() : 0;
  if (!failed && options_.sync && !FlushFileBuffers(handle)) failed = true, error = GetLastError();
  bool exists = false;
  Status allowed = failed ? Status() : RefuseWriteProtectedFinalName(exists);
  // Only a file about to take its name loses the deletion mark.
  const bool kept = !failed && allowed && SetDeleteOnClose(handle, false);
  if (!failed && allowed && !kept) failed = true, error = GetLastError();
  if (fclose(stream_) != 0 && !failed) failed = true, error = GetLastError();
  stream_ = nullptr;
  const FileHandle none;
  if (!allowed) return RemoveTemporary(none, allowed);
  if (failed) return RemoveTemporary(none, Fail(error ? error : ERROR_WRITE_FAULT));
  const std::wstring temporary = WidePath(JoinPath(folder_.Path(), temporary_name_));
  if (!MoveFileExW(temporary.c_str(), WidePath(final_path_).c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    return RemoveTemporary(none, Fail(GetLastError()));
  return {};
}

Status AtomicOutputFile::Discard() {
  if (finished_) return {};
  finished_ = true;
  // Marked for deletion, the file goes with the close; whatever the stream
  // still buffers goes nowhere.
  fclose(stream_);
  stream_ = nullptr;
  return RemoveTemporary(FileHandle(), {});
}

Status AtomicOutputFile::RemoveTemporary(const FileHandle&, Status result) const {
  const std::string path = JoinPath(folder_.Path(), temporary_name_);
  if (DeleteFileW(WidePath(path).c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND) return result;
  const std::string why = path + ": cannot be removed (" + SystemMessage(GetLastError()) + ")";
  return Failure{result.ok() ? final_path_ + ": " + why : result.reason() + "; " + why};
}

Status AtomicOutputFile::RefuseWriteProtectedFinalName(bool& exists) const {
  const DWORD attributes = GetFileAttributesW(WidePath(final_path_).c_str());
  exists = attributes != INVALID_FILE_ATTRIBUTES;
  if (!exists) return {};
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Fail("is a folder");
  if (attributes & FILE_ATTRIBUTE_DEVICE) return Fail("is a device");
  // The read-only attribute marks a file to keep; MoveFileExW would refuse
  // it too, with a less telling reason.
  if (attributes & FILE_ATTRIBUTE_READONLY) return Fail("is write-protected");
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

Status AtomicOutputFile::Fail(int error) const { return Fail(SystemMessage(static_cast<unsigned long>(error))); }

Status AtomicOutputFile::Fail(std::string_view why) const { return Failure{final_path_ + ": " + std::string(why)}; }

}  // namespace tamarind::platform
