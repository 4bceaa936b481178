#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

namespace tamarind::platform {

namespace {

std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? std::string(value) : std::string();
}

std::string XdgFolder(const char* variable, std::string_view fallbackUnderHome) {
  std::string folder = Environment(variable);
  if (!folder.empty() && IsAbsolutePath(folder)) return folder;
  std::string home = Environment("HOME");
  if (home.empty()) return {};
  return JoinPath(home, fallbackUnderHome);
}

}  // namespace

std::string ModulePath() {
  std::vector<char> buffer(256);
  for (;;) {
    ssize_t n = readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return {};
    if (static_cast<size_t>(n) < buffer.size()) return std::string(buffer.data(), static_cast<size_t>(n));
    buffer.resize(buffer.size() * 2);
  }
}

std::string TempFolder() {
  std::string folder = Environment("TMPDIR");
  return folder.empty() ? std::string("/tmp") : folder;
}

std::string UserConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

std::string UserStateFolder() { return XdgFolder("XDG_STATE_HOME", ".local/state"); }

bool IsRegularFile(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

}  // namespace tamarind::platform
