// The modal About box with its two hyperlink controls.
#pragma once

#include <windows.h>

namespace tamarind::win32 {

// Shows the About box owned by |owner| until "OK", Esc or its close box.
void ShowAboutDialog(HWND owner);

}  // namespace tamarind::win32
