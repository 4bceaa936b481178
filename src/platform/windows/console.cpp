#include "platform/console.h"

#include <windows.h>

#include "platform/windows/handles.h"
#include "platform/windows/unicode.h"

namespace tamarind::platform {

namespace {

bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
}

// A console shows UTF-16, whatever its code page; a pipe or a file gets
// the UTF-8 bytes, like on every other system.
bool WriteTo(DWORD which, std::string_view text) {
  const HANDLE handle = GetStdHandle(which);
  if (handle == nullptr || handle == INVALID_HANDLE_VALUE) return false;
  if (IsConsole(handle)) {
    const std::wstring wide = Widen(text);
    size_t done = 0;
    while (done < wide.size()) {
      DWORD written = 0;
      const DWORD chunk = static_cast<DWORD>(std::min<size_t>(wide.size() - done, 8192));
      if (!WriteConsoleW(handle, wide.data() + done, chunk, &written, nullptr) || written == 0) return false;
      done += written;
    }
    return true;
  }
  while (!text.empty()) {
    DWORD written = 0;
    const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size(), 1 << 20));
    if (!WriteFile(handle, text.data(), chunk, &written, nullptr) || written == 0) return false;
    text.remove_prefix(written);
  }
  return true;
}

}  // namespace

bool WriteOut(std::string_view text) { return WriteTo(STD_OUTPUT_HANDLE, text); }

Status WriteStandardOutput(std::string_view text) {
  SetLastError(ERROR_SUCCESS);
  if (WriteTo(STD_OUTPUT_HANDLE, text)) return {};
  // No handle at all, or a write that took nothing, leaves no error code.
  const DWORD error = GetLastError();
  return FailureFor("standard output", error != ERROR_SUCCESS ? error : ERROR_WRITE_FAULT);
}

bool WriteErr(std::string_view text) { return WriteTo(STD_ERROR_HANDLE, text); }

bool ErrIsTerminal() { return IsConsole(GetStdHandle(STD_ERROR_HANDLE)); }

}  // namespace tamarind::platform
