#include "platform/files.h"

#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <ctime>
#include <memory>

#include "platform/file_handle.h"
#include "platform/paths.h"
#include "platform/windows/handles.h"
#include "platform/windows/unicode.h"

namespace tamarind::platform {

namespace {

struct FindCloser {
  void operator()(HANDLE find) const { FindClose(find); }
};

struct HandleCloser {
  void operator()(HANDLE handle) const { CloseHandle(handle); }
};
using UniqueHandle = std::unique_ptr<void, HandleCloser>;

// Opens |path| for its attributes only (a folder too), links followed.
UniqueHandle OpenForAttributes(const std::string& path, DWORD access = FILE_READ_ATTRIBUTES) {
  const HANDLE file = CreateFileW(WidePath(path).c_str(), access, kShareAll, nullptr, OPEN_EXISTING,
                                  FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  return UniqueHandle(file == INVALID_HANDLE_VALUE ? nullptr : file);
}

FolderEntry::Kind KindOf(const std::string& path, const WIN32_FIND_DATAW& found) {
  using Kind = FolderEntry::Kind;
  const DWORD attributes = found.dwFileAttributes;
  if (attributes & FILE_ATTRIBUTE_REPARSE_POINT) {
    // A link or junction to a folder is never entered: the walk could loop
    // or leave the tree. A link to a file counts for what it leads to.
    if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Kind::Other;
    return IsRegularFile(path) ? Kind::File : Kind::Other;
  }
  if (attributes & FILE_ATTRIBUTE_DIRECTORY) return Kind::Folder;
  if (attributes & FILE_ATTRIBUTE_DEVICE) return Kind::Other;
  return Kind::File;
}

}  // namespace

Status MakeFolder(const std::string& path) {
  if (path.empty()) return Failure::System(path, ENOENT);
  if (CreateDirectoryW(WidePath(path).c_str(), nullptr)) return {};
  const DWORD code = GetLastError();
  if (code == ERROR_ALREADY_EXISTS && IsFolder(path)) return {};
  if (code == ERROR_ALREADY_EXISTS) return Failure::System(path, ENOTDIR);
  return FailureFor(path, code);
}

Status MakeFolders(const std::string& path) {
  if (path.empty()) return Failure::System(path, ENOENT);
  if (IsFolder(path)) return {};
  // Every prefix that ends just before a separator past the root, then the
  // whole path; a drive or share itself is never made.
  const size_t root = RootLength(path);
  for (size_t at = FirstSeparator(path, root); at != std::string::npos; at = FirstSeparator(path, at + 1)) {
    if (at == root || IsSeparator(path[at - 1])) continue;
    const std::string prefix = path.substr(0, at);
    if (CreateDirectoryW(WidePath(prefix).c_str(), nullptr)) continue;
    const DWORD code = GetLastError();
    if (code != ERROR_ALREADY_EXISTS) return FailureFor(prefix, code);
    // A file in the way: the level below it cannot be a folder, as Linux
    // says of it.
    if (!IsFolder(prefix)) {
      const size_t next = FirstSeparator(path, at + 1);
      return Failure::System(path.substr(0, next == std::string::npos ? path.size() : next), ENOTDIR);
    }
  }
  return MakeFolder(path);
}

bool IsFolder(const std::string& path) {
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

Expected<std::vector<FolderEntry>> ListFolder(const std::string& folder) {
  WIN32_FIND_DATAW found{};
  const std::wstring pattern = WidePath(JoinPath(folder.empty() ? "." : folder, "*"));
  std::unique_ptr<void, FindCloser> find(FindFirstFileExW(pattern.c_str(), FindExInfoBasic, &found,
                                                          FindExSearchNameMatch, nullptr, FIND_FIRST_EX_LARGE_FETCH));
  if (find.get() == INVALID_HANDLE_VALUE) {
    find.release();
    const DWORD code = GetLastError();
    if (code == ERROR_FILE_NOT_FOUND) return std::vector<FolderEntry>{};  // an empty drive root
    return FailureFor(folder, code);
  }
  std::vector<FolderEntry> entries;
  do {
    std::string name = Narrow(found.cFileName);
    if (name == "." || name == "..") continue;
    entries.push_back({name, KindOf(JoinPath(folder, name), found)});
  } while (FindNextFileW(find.get(), &found));
  if (const DWORD code = GetLastError(); code != ERROR_NO_MORE_FILES) return FailureFor(folder, code);
  std::sort(entries.begin(), entries.end(), [](const FolderEntry& a, const FolderEntry& b) { return a.name < b.name; });
  return entries;
}

Expected<FileStatus> StatusOf(const std::string& path) {
  UniqueHandle file = OpenForAttributes(path);
  BY_HANDLE_FILE_INFORMATION info{};
  if (!file || !GetFileInformationByHandle(file.get(), &info)) return FailureFor(path, GetLastError());
  FileStatus status;
  status.regular = GetFileType(file.get()) == FILE_TYPE_DISK && !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  status.size = static_cast<int64_t>((static_cast<uint64_t>(info.nFileSizeHigh) << 32) | info.nFileSizeLow);
  const UnixTime accessed = FromFileTime(info.ftLastAccessTime);
  const UnixTime modified = FromFileTime(info.ftLastWriteTime);
  status.accessed = {accessed.seconds, accessed.nanoseconds};
  status.modified = {modified.seconds, modified.nanoseconds};
  status.device = info.dwVolumeSerialNumber;
  status.inode = (static_cast<uint64_t>(info.nFileIndexHigh) << 32) | info.nFileIndexLow;
  return status;
}

bool IsCharacterDevice(const std::string& path) {
  UniqueHandle file = OpenForAttributes(path);
  return file && GetFileType(file.get()) == FILE_TYPE_CHAR;
}

bool SameFile(const std::string& a, const std::string& b) {
  auto first = StatusOf(a);
  auto second = StatusOf(b);
  return first && second && first->device == second->device && first->inode == second->inode;
}

Status SetFileTimes(const std::string& path, const FileTime& accessed, const FileTime& modified) {
  UniqueHandle file = OpenForAttributes(path, FILE_WRITE_ATTRIBUTES);
  if (!file) return FailureFor(path, GetLastError());
  const FILETIME access = ToFileTime({accessed.seconds, accessed.nanoseconds});
  const FILETIME write = ToFileTime({modified.seconds, modified.nanoseconds});
  if (!SetFileTime(file.get(), nullptr, &access, &write)) return FailureFor(path, GetLastError());
  return {};
}

std::string LocalTimeText(const char* format) {
  std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_s(&local, &now);
  char buffer[128];
  size_t length = std::strftime(buffer, sizeof buffer, format, &local);
  return std::string(buffer, length);
}

bool LocalCalendar(int64_t seconds, std::tm& local, int& utcOffsetMinutes) {
  const std::time_t time = static_cast<std::time_t>(seconds);
  if (localtime_s(&local, &time) != 0) return false;
  // The local fields read as UTC, less the instant itself.
  std::tm fields = local;
  const std::time_t asUtc = _mkgmtime(&fields);
  if (asUtc == -1) return false;
  utcOffsetMinutes = static_cast<int>((asUtc - time) / 60);
  return true;
}

void CopyPermissionsOnto(const std::string&, int) {}

Status AppendWhole(const std::string& path, std::string_view bytes) {
  Expected<FileHandle> file = OpenRegularFile(path, OpenFor::kAppending);
  if (!file) return file.status();
  const HANDLE handle = HandleOf(file->Descriptor());
  const int64_t before = file->Size();
  // One write on a handle opened for appending only: the system places it
  // whole at the end, so entries of concurrent writers never interleave.
  DWORD written = 0;
  const bool ok = WriteFile(handle, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
  if (ok && written == bytes.size()) return file->Close().ok() ? Status() : Status(FailureFor(path, ERROR_WRITE_FAULT));
  const DWORD code = GetLastError();
  if (written == 0) return FailureFor(path, code, "the entry was not added");
  // A short write (a full disk): take the part back when no other writer
  // appended since, so the next entry does not start mid-line.
  if (before >= 0 && file->Size() == before + written) {
    FILE_END_OF_FILE_INFO end{};
    end.EndOfFile.QuadPart = before;
    if (SetFileInformationByHandle(handle, FileEndOfFileInfo, &end, sizeof end))
      return FailureFor(path, code ? code : ERROR_DISK_FULL, "the entry was not added");
  }
  return FailureFor(path, code ? code : ERROR_DISK_FULL, "the entry stays cut short");
}

Status AppendPieces(const std::string& path, const std::function<Status(const PieceSink& sink)>& pieces) {
  // Gathered first and appended in one write, which keeps entries whole
  // without a lock here; the entry is held in memory meanwhile.
  std::string entry;
  Status gathered = pieces([&](std::string_view piece) -> Status {
    entry.append(piece);
    return {};
  });
  if (!gathered) return Failure::About(path, "the entry was not added").Also(gathered.failure());
  return AppendWhole(path, entry);
}

}  // namespace tamarind::platform
