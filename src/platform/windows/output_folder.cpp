#include "platform/output_folder.h"

#include <fcntl.h>
#include <windows.h>

#include "platform/files.h"
#include "platform/paths.h"
#include "platform/windows/handles.h"
#include "platform/windows/unicode.h"

namespace tamarind::platform {

namespace {

Failure Refused(const std::string& path, std::string_view why) { return Failure::About(path, std::string(why)); }

// Windows has no openat(): each level is opened by its full name, but the
// levels above it are held open without FILE_SHARE_DELETE, so none of them
// can be renamed, removed or swapped for a link while the output is made.
// A level that is itself a link or junction (a reparse point) is refused
// instead of followed; the root is taken as the user named it.
constexpr DWORD kFolderShare = FILE_SHARE_READ | FILE_SHARE_WRITE;

Expected<FileHandle> OpenFolder(const std::string& path, bool followLinks) {
  const DWORD flags = FILE_FLAG_BACKUP_SEMANTICS | (followLinks ? 0 : FILE_FLAG_OPEN_REPARSE_POINT);
  const HANDLE folder =
      CreateFileW(WidePath(path.empty() ? "." : path).c_str(), FILE_LIST_DIRECTORY | FILE_READ_ATTRIBUTES, kFolderShare,
                  nullptr, OPEN_EXISTING, flags, nullptr);
  const std::string shown = path.empty() ? "." : path;
  if (folder == INVALID_HANDLE_VALUE) return FailureFor(shown, GetLastError());
  BY_HANDLE_FILE_INFORMATION info{};
  const bool known = GetFileInformationByHandle(folder, &info);
  const char* why = !known                                                   ? "cannot be examined"
                    : (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ? "is a symbolic link"
                    : !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)    ? "Not a directory"
                                                                             : nullptr;
  if (why && !(followLinks && known && (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))) {
    CloseHandle(folder);
    return Refused(shown, why);
  }
  const int fd = AdoptHandle(folder, _O_RDONLY);
  if (fd < 0) return Refused(shown, "too many open files");
  return FileHandle(fd);
}

}  // namespace

Expected<OutputFolder> OutputFolder::Open(const std::string& root, bool create) {
  if (create && !root.empty())
    if (Status made = MakeFolders(root); !made) return std::move(made).failure();
  Expected<FileHandle> folder = OpenFolder(root, true);
  if (!folder) return std::move(folder).failure();
  return OutputFolder(std::move(*folder), root);
}

Expected<OutputFolder> OutputFolder::Beneath(std::string_view relative, bool create) const {
  Expected<OutputFolder> current = Duplicate();
  // The levels passed on the way stay open until the last is reached.
  std::vector<OutputFolder> held;
  while (current && !relative.empty()) {
    const size_t cut = FirstSeparator(relative);
    const std::string name(relative.substr(0, cut));
    relative = cut == std::string_view::npos ? std::string_view() : relative.substr(cut + 1);
    if (name.empty() || name == ".") continue;
    std::string path = JoinPath(current->Path(), name);
    if (name == ".." || name.find(':') != std::string::npos) return Refused(path, "leaves the destination folder");
    if (create && !CreateDirectoryW(WidePath(path).c_str(), nullptr) && GetLastError() != ERROR_ALREADY_EXISTS)
      return FailureFor(path, GetLastError());
    Expected<FileHandle> next = OpenFolder(path, false);
    if (!next) return std::move(next).failure();
    held.push_back(std::move(*current));
    current = OutputFolder(std::move(*next), std::move(path));
  }
  return current;
}

Status OutputFolder::MakeFoldersBeneath(std::string_view relative) const { return Beneath(relative, true).status(); }

Expected<OutputFolder> OutputFolder::Duplicate() const {
  HANDLE copy = nullptr;
  const std::string shown = path_.empty() ? "." : path_;
  if (!DuplicateHandle(GetCurrentProcess(), HandleOf(folder_.Descriptor()), GetCurrentProcess(), &copy, 0, FALSE,
                       DUPLICATE_SAME_ACCESS))
    return FailureFor(shown, GetLastError());
  const int fd = AdoptHandle(copy, _O_RDONLY);
  if (fd < 0) return Refused(shown, "too many open files");
  return OutputFolder(FileHandle(fd), path_);
}

Status OutputFolder::RemoveFile(const std::string& name) const {
  const std::string path = JoinPath(path_, name);
  if (name.empty() || name == "." || name == ".." || FirstSeparator(name) != std::string_view::npos ||
      name.find(':') != std::string::npos)
    return Refused(path, "is not a name in the folder");
  // This folder is held open without FILE_SHARE_DELETE, so |path| still
  // lies in it.
  const DWORD attributes = GetFileAttributesW(WidePath(path).c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    const DWORD code = GetLastError();
    return code == ERROR_FILE_NOT_FOUND ? Status() : Status(FailureFor(path, code));
  }
  if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_REPARSE_POINT | FILE_ATTRIBUTE_DEVICE))
    return Refused(path, "is not a regular file");
  if (!DeleteFileW(WidePath(path).c_str()) && GetLastError() != ERROR_FILE_NOT_FOUND)
    return FailureFor(path, GetLastError());
  return {};
}

}  // namespace tamarind::platform
