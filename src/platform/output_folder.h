// The folder outputs go below, held open: folders and files below it are
// made relative to its handle, one level at a time, and never through a
// symbolic link.
//
// In a shared destination another user may plant "dest/sub -> /elsewhere";
// a path-based mkdir or rename would then write outside the destination.
// Every level below the root is opened with O_NOFOLLOW | O_DIRECTORY, so a
// link there fails with a reason instead. The root itself is taken as the
// user named it, a link included.
#pragma once

#include <string>
#include <string_view>

#include "platform/file_handle.h"
#include "platform/outcome.h"

namespace tamarind::platform {

class OutputFolder {
 public:
  // Opens |root| ("" is the current folder), following links: the user
  // named it. With |create| its missing levels are made first, like
  // `mkdir -p` (any path the user names, absolute or not).
  static Expected<OutputFolder> Open(const std::string& root, bool create = false);

  // The folder |relative| below this one (levels separated by '/', "" is
  // this folder itself), opened without passing through a symbolic link.
  // With |create| missing levels are made (mode 0777 less the umask). Fails
  // with the level and the reason: "dest/sub: is a symbolic link",
  // "dest/a/..: leaves the destination folder", "dest/f: Not a directory".
  Expected<OutputFolder> Beneath(std::string_view relative, bool create = false) const;

  // Beneath(relative, true), for its failure only.
  Status MakeFoldersBeneath(std::string_view relative) const;

  // Removes |name|, a regular file in this folder (not a link, a device,
  // a FIFO or a folder: those fail, "is not a regular file"). A name that
  // is not there is no failure: what was to go is gone.
  Status RemoveFile(const std::string& name) const;

  int Descriptor() const { return folder_.Descriptor(); }
  // The folder's path as the user knows it: the root joined with the levels
  // below it, for messages.
  const std::string& Path() const { return path_; }

  // A second handle on the same folder (for an object that outlives this).
  Expected<OutputFolder> Duplicate() const;

 private:
  OutputFolder(FileHandle folder, std::string path) : folder_(std::move(folder)), path_(std::move(path)) {}

  FileHandle folder_;
  std::string path_;
};

}  // namespace tamarind::platform
