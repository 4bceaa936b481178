// Where things live on this system (the running executable, the temp
// folder, the per-user folders for settings and logs) and how its paths
// are spelt.
//
// Paths are UTF-8 byte strings everywhere. On Windows a path may start with
// a drive ("C:\", or "C:" alone, relative to that drive's current folder)
// or a UNC share ("\\server\share\"), and '/' and '\' both separate names;
// the native separator '\' is the one the program writes. On other systems
// '/' is the only separator and the root is "/".
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tamarind::platform {

enum class PathStyle { kPosix, kWindows };

#ifdef _WIN32
inline constexpr PathStyle kNativeStyle = PathStyle::kWindows;
inline constexpr char kSeparator = '\\';
#else
inline constexpr PathStyle kNativeStyle = PathStyle::kPosix;
// The separator between folder names in a path.
inline constexpr char kSeparator = '/';
#endif

// True when |c| separates names: '/' always, '\' too in Windows paths.
constexpr bool IsSeparator(char c, PathStyle style = kNativeStyle) {
  return c == '/' || (style == PathStyle::kWindows && c == '\\');
}

// The position of the last / first separator in |path| at or after
// |from|, or npos.
size_t LastSeparator(std::string_view path, PathStyle style = kNativeStyle);
size_t FirstSeparator(std::string_view path, size_t from = 0, PathStyle style = kNativeStyle);

// How many leading bytes of |path| are its root, which no folder operation
// may cut: "/" 1; in Windows paths "C:\" 3, "C:" 2, "\" 1 (the current
// drive's root), "\\server\share\" up to and with the separator after the
// share (the whole text when none follows), "\\?\C:\" its prefix and
// drive. 0 for a relative path.
size_t RootLength(std::string_view path, PathStyle style = kNativeStyle);

// True for a path that names the same file whatever the current folder
// and drive: "/..." here, "C:\..." or "\\server\share\..." on Windows.
bool IsAbsolutePath(std::string_view path, PathStyle style = kNativeStyle);

// The folder part of |path|: everything before its last separator, but
// never less than its root ("/a" gives "/", "C:\a" gives "C:\"); "" when
// there is no separator and no root.
std::string_view FolderOf(std::string_view path, PathStyle style = kNativeStyle);

// |folder| and |name| joined by one separator ("" folder gives |name|; a
// folder that ends in a separator, or a bare drive "C:", takes none more).
std::string JoinPath(std::string_view folder, std::string_view name, PathStyle style = kNativeStyle);

// Full path of the running executable, or "" when it cannot be found.
std::string ModulePath();

// $TMPDIR when it is set and not empty, else "/tmp"; on Windows the
// system's temp folder (GetTempPathW, without its trailing separator).
std::string TempFolder();

// $XDG_CONFIG_HOME or ~/.config, and $XDG_STATE_HOME or ~/.local/state.
// "" when neither the variable nor $HOME is set, and always "" on Windows,
// where settings and log live beside the executable.
std::string UserConfigFolder();
std::string UserStateFolder();

// True when |path| names an existing regular file (links followed).
bool IsRegularFile(const std::string& path);

}  // namespace tamarind::platform
