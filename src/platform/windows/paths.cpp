#include "platform/paths.h"

#include <windows.h>

#include <vector>

#include "platform/windows/unicode.h"

namespace tamarind::platform {

std::string ModulePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    // A full buffer means the name may be cut: try again with more room.
    if (n < buffer.size()) return Narrow(std::wstring_view(buffer.data(), n));
    buffer.resize(buffer.size() * 2);
  }
}

std::string TempFolder() {
  wchar_t buffer[MAX_PATH + 2];
  const DWORD n = GetTempPathW(MAX_PATH + 2, buffer);
  if (n == 0 || n > MAX_PATH + 1) return {};
  std::string folder = Narrow(std::wstring_view(buffer, n));
  // Keep "C:\" whole; cut the separator after any longer folder.
  if (folder.size() > RootLength(folder) && IsSeparator(folder.back())) folder.pop_back();
  return folder;
}

std::string UserConfigFolder() { return {}; }

std::string UserStateFolder() { return {}; }

bool IsRegularFile(const std::string& path) {
  const HANDLE file =
      CreateFileW(WidePath(path).c_str(), FILE_READ_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  BY_HANDLE_FILE_INFORMATION info{};
  const bool regular = GetFileType(file) == FILE_TYPE_DISK && GetFileInformationByHandle(file, &info) &&
                       !(info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY);
  CloseHandle(file);
  return regular;
}

}  // namespace tamarind::platform
