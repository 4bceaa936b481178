#include "platform/paths.h"

namespace tamarind::platform {

namespace {

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool StartsWithDrive(std::string_view path) { return path.size() >= 2 && IsDriveLetter(path[0]) && path[1] == ':'; }

// "\\server\share" and "\\?\..." / "\\.\...": the end of the root.
size_t UncRootLength(std::string_view path) {
  constexpr PathStyle kWin = PathStyle::kWindows;
  if ((path[2] == '?' || path[2] == '.') && path.size() >= 4 && IsSeparator(path[3], kWin)) {
    // A device or long-path prefix; a drive after it belongs to the root.
    const std::string_view rest = path.substr(4);
    if (StartsWithDrive(rest)) return 4 + (rest.size() > 2 && IsSeparator(rest[2], kWin) ? 3 : 2);
    return 4;
  }
  const size_t server = FirstSeparator(path, 2, kWin);
  if (server == std::string_view::npos || server == 2) return path.size();
  const size_t share = FirstSeparator(path, server + 1, kWin);
  return share == std::string_view::npos ? path.size() : share + 1;
}

}  // namespace

size_t LastSeparator(std::string_view path, PathStyle style) {
  for (size_t at = path.size(); at-- > 0;)
    if (IsSeparator(path[at], style)) return at;
  return std::string_view::npos;
}

size_t FirstSeparator(std::string_view path, size_t from, PathStyle style) {
  for (size_t at = from; at < path.size(); ++at)
    if (IsSeparator(path[at], style)) return at;
  return std::string_view::npos;
}

size_t RootLength(std::string_view path, PathStyle style) {
  if (style == PathStyle::kPosix) return !path.empty() && path[0] == '/' ? 1 : 0;
  if (StartsWithDrive(path)) return path.size() > 2 && IsSeparator(path[2], style) ? 3 : 2;
  if (path.size() >= 3 && IsSeparator(path[0], style) && IsSeparator(path[1], style)) return UncRootLength(path);
  return !path.empty() && IsSeparator(path[0], style) ? 1 : 0;
}

bool IsAbsolutePath(std::string_view path, PathStyle style) {
  if (style == PathStyle::kPosix) return !path.empty() && path[0] == '/';
  // "C:" and "\" alone still depend on a current folder or drive.
  if (StartsWithDrive(path)) return path.size() > 2 && IsSeparator(path[2], style);
  return path.size() >= 2 && IsSeparator(path[0], style) && IsSeparator(path[1], style);
}

std::string_view FolderOf(std::string_view path, PathStyle style) {
  const size_t root = RootLength(path, style);
  const size_t cut = LastSeparator(path, style);
  if (cut == std::string_view::npos || cut < root) return path.substr(0, root);
  return path.substr(0, cut);
}

std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style) {
  std::string joined(folder);
  const bool bareDrive = style == PathStyle::kWindows && folder.size() == 2 && StartsWithDrive(folder);
  if (!joined.empty() && !IsSeparator(joined.back(), style) && !bareDrive)
    joined += style == PathStyle::kWindows ? '\\' : '/';
  joined += name;
  return joined;
}

}  // namespace tamarind::platform
