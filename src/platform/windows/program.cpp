#include "platform/program.h"

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/windows/unicode.h"

namespace tamarind::platform {

namespace {

bool Usable(HANDLE handle) { return handle != nullptr && handle != INVALID_HANDLE_VALUE; }

// A standard handle the starter left empty gets the console's.
void FillFromConsole(DWORD which, const wchar_t* device) {
  if (Usable(GetStdHandle(which))) return;
  const HANDLE console = CreateFileW(device, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                     OPEN_EXISTING, 0, nullptr);
  if (Usable(console)) SetStdHandle(which, console);
}

}  // namespace

std::vector<std::string> ProgramArguments(int, char**) {
  int count = 0;
  wchar_t** words = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> arguments;
  for (int i = 1; words && i < count; ++i) arguments.push_back(Narrow(words[i]));
  LocalFree(words);
  return arguments;
}

bool AttachToStarterConsole() {
  const bool redirected = Usable(GetStdHandle(STD_OUTPUT_HANDLE)) || Usable(GetStdHandle(STD_ERROR_HANDLE));
  if (AttachConsole(ATTACH_PARENT_PROCESS)) {
    FillFromConsole(STD_OUTPUT_HANDLE, L"CONOUT$");
    FillFromConsole(STD_ERROR_HANDLE, L"CONOUT$");
    return true;
  }
  return redirected;
}

}  // namespace tamarind::platform
