// Where things live on this system: the running executable, the temp
// folder and the per-user folders for settings and logs.
#pragma once

#include <string>
#include <string_view>

namespace tamarind::platform {

// The separator between folder names in a path.
inline constexpr char kSeparator = '/';

// Full path of the running executable, or "" when it cannot be found.
std::string ModulePath();

// The folder part of |path|: everything before its last separator ("" when
// there is none).
std::string_view FolderOf(std::string_view path);

// |folder| and |name| joined by one separator ("" folder gives |name|).
std::string JoinPath(std::string_view folder, std::string_view name);

// $TMPDIR when it is set and not empty, else "/tmp".
std::string TempFolder();

// $XDG_CONFIG_HOME or ~/.config, and $XDG_STATE_HOME or ~/.local/state.
// "" when neither the variable nor $HOME is set.
std::string UserConfigFolder();
std::string UserStateFolder();

// True when |path| names an existing regular file (links followed).
bool IsRegularFile(const std::string& path);

}  // namespace tamarind::platform
