#include "win32/about_dialog.h"

#include <windowsx.h>

#include <string>

#include "platform/windows/unicode.h"
#include "win32/hyper_link.h"
#include "win32/resource_ids.h"
#include "window/about.h"

namespace tamarind::win32 {

namespace {

struct AboutState {
  HyperLink home;
  HyperLink support;
};

void CentreOver(HWND window, HWND parent) {
  RECT inner, outer;
  GetWindowRect(window, &inner);
  if (parent && IsWindowVisible(parent)) GetWindowRect(parent, &outer);
  else SystemParametersInfoW(SPI_GETWORKAREA, 0, &outer, 0);
  const int x = outer.left + ((outer.right - outer.left) - (inner.right - inner.left)) / 2;
  const int y = outer.top + ((outer.bottom - outer.top) - (inner.bottom - inner.top)) / 2;
  SetWindowPos(window, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

// Copies the home page's address as plain text.
void CopyToClipboard(HWND owner, const std::string& text) {
  if (text.empty() || !OpenClipboard(owner)) return;
  EmptyClipboard();
  const std::wstring wide = platform::Widen(text);
  if (HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(wchar_t))) {
    memcpy(GlobalLock(memory), wide.c_str(), (wide.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    if (!SetClipboardData(CF_UNICODETEXT, memory)) GlobalFree(memory);
  }
  CloseClipboard();
}

INT_PTR CALLBACK AboutProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<AboutState*>(GetWindowLongPtrW(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      SetWindowLongPtrW(window, DWLP_USER, lParam);
      state = reinterpret_cast<AboutState*>(lParam);
      SetDlgItemTextW(window, IDC_SUPPORT_LINK, platform::Widen(std::string("Support: ") + kSupportAddress).c_str());
      state->home.Attach(window, IDC_HOME_LINK, kHomePage);
      state->support.Attach(window, IDC_SUPPORT_LINK, std::string("mailto:") + kSupportAddress);
      CentreOver(window, GetParent(window));
      return TRUE;
    case WM_CONTEXTMENU:
      // Only the home page's link has the copy menu.
      if (reinterpret_cast<HWND>(wParam) != state->home.Window()) return FALSE;
      if (HMENU menu = LoadMenuW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDM_LINK))) {
        TrackPopupMenu(GetSubMenu(menu, 0), TPM_RIGHTBUTTON, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), 0, window,
                       nullptr);
        DestroyMenu(menu);
      }
      return TRUE;
    case WM_COMMAND:
      switch (LOWORD(wParam)) {
        case IDM_COPY_SHORTCUTS: CopyToClipboard(window, state->home.Target()); return TRUE;
        case IDOK:
        case IDCANCEL: EndDialog(window, LOWORD(wParam)); return TRUE;
      }
      return FALSE;
  }
  return FALSE;
}

}  // namespace

void ShowAboutDialog(HWND owner) {
  AboutState state;
  DialogBoxParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(IDD_ABOUT), owner, AboutProcedure,
                  reinterpret_cast<LPARAM>(&state));
}

}  // namespace tamarind::win32
