#include "platform/output_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/files.h"
#include "platform/paths.h"

namespace tamarind::platform {

namespace {

constexpr int kFolderFlags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;

// Why |name| in the folder |parent| could not be opened as a folder without
// following a link.
Failure WhyNotAFolder(int parent, const std::string& name, const std::string& path, int error) {
  struct stat info {};
  if (fstatat(parent, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(info.st_mode))
    return Failure::About(path, "is a symbolic link");
  return Failure::System(path, error);
}

}  // namespace

Expected<OutputFolder> OutputFolder::Open(const std::string& root, bool create) {
  if (create && !root.empty()) {
    if (Status made = MakeFolders(root); !made) return std::move(made).failure();
  }
  FileHandle folder(open(root.empty() ? "." : root.c_str(), kFolderFlags));
  if (!folder.IsOpen()) return Failure::System(root.empty() ? "." : root, errno);
  return OutputFolder(std::move(folder), root);
}

Expected<OutputFolder> OutputFolder::Beneath(std::string_view relative, bool create) const {
  Expected<OutputFolder> current = Duplicate();
  while (current && !relative.empty()) {
    const size_t cut = relative.find(kSeparator);
    const std::string name(relative.substr(0, cut));
    relative = cut == std::string_view::npos ? std::string_view() : relative.substr(cut + 1);
    if (name.empty() || name == ".") continue;
    const int parent = current->Descriptor();
    std::string path = JoinPath(current->Path(), name);
    if (name == "..") return Failure::About(path, "leaves the destination folder");
    if (create && mkdirat(parent, name.c_str(), 0777) != 0 && errno != EEXIST) return Failure::System(path, errno);
    FileHandle next(openat(parent, name.c_str(), kFolderFlags | O_NOFOLLOW));
    if (!next.IsOpen()) return WhyNotAFolder(parent, name, path, errno);
    current = OutputFolder(std::move(next), std::move(path));
  }
  return current;
}

Status OutputFolder::MakeFoldersBeneath(std::string_view relative) const { return Beneath(relative, true).status(); }

Expected<OutputFolder> OutputFolder::Duplicate() const {
  FileHandle copy(fcntl(folder_.Descriptor(), F_DUPFD_CLOEXEC, 0));
  if (!copy.IsOpen()) return Failure::System(path_.empty() ? "." : path_, errno);
  return OutputFolder(std::move(copy), path_);
}

Status OutputFolder::RemoveFile(const std::string& name) const {
  const std::string path = JoinPath(path_, name);
  if (name.empty() || name == "." || name == ".." || name.find(kSeparator) != std::string::npos)
    return Failure::About(path, "is not a name in the folder");
  struct stat info {};
  if (fstatat(folder_.Descriptor(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0)
    return errno == ENOENT ? Status() : Status(Failure::System(path, errno));
  if (!S_ISREG(info.st_mode)) return Failure::About(path, "is not a regular file");
  if (unlinkat(folder_.Descriptor(), name.c_str(), 0) != 0 && errno != ENOENT) return Failure::System(path, errno);
  return {};
}

}  // namespace tamarind::platform
