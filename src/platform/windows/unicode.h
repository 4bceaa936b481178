// UTF-8 inside the program, UTF-16 at every call into Windows.
#pragma once

#include <string>
#include <string_view>

namespace tamarind::platform {

// |text| as UTF-16 / as UTF-8. Bytes that are not UTF-8 become U+FFFD, so
// such a name cannot be opened (rather than opening another file).
std::wstring Widen(std::string_view text);
std::string Narrow(std::wstring_view text);

// |path| for a Windows file call: forward slashes become backslashes.
std::wstring WidePath(std::string_view path);

// The text of Windows error |code| (GetLastError()), without its line end.
std::string SystemMessage(unsigned long code);

}  // namespace tamarind::platform
