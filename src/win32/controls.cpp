#include "win32/controls.h"

#include <cstdlib>
#include <mutex>
#include <vector>

#include "platform/files.h"
#include "platform/windows/unicode.h"

namespace tamarind::win32 {

std::string ControlText(HWND dialog, int id) {
  const HWND control = GetDlgItem(dialog, id);
  const int length = GetWindowTextLengthW(control);
  std::vector<wchar_t> text(static_cast<size_t>(length) + 1);
  const int got = GetWindowTextW(control, text.data(), length + 1);
  return platform::Narrow(std::wstring_view(text.data(), static_cast<size_t>(got)));
}

void SetControlText(HWND dialog, int id, std::string_view text) {
  SetDlgItemTextW(dialog, id, platform::Widen(text).c_str());
}

bool IsChecked(HWND dialog, int id) { return IsDlgButtonChecked(dialog, id) == BST_CHECKED; }

void SetChecked(HWND dialog, int id, bool checked) {
  CheckDlgButton(dialog, id, checked ? BST_CHECKED : BST_UNCHECKED);
}

void EnableControl(HWND dialog, int id, bool enabled) { EnableWindow(GetDlgItem(dialog, id), enabled); }

void ShowMessage(HWND owner, std::string_view text, std::string_view caption, UINT icon) {
  Trace("message: " + std::string(caption) + ": " + std::string(text));
  MessageBoxW(owner, platform::Widen(text).c_str(), platform::Widen(caption).c_str(), MB_OK | icon);
}

HBRUSH PaintControl(UINT message, HDC dc, HBRUSH dialogBrush, HBRUSH editBrush) {
  constexpr COLORREF kText = RGB(0, 0, 255);
  switch (message) {
    case WM_CTLCOLOREDIT:
      SetTextColor(dc, kText);
      SetBkMode(dc, TRANSPARENT);
      return editBrush;
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
      SetTextColor(dc, kText);
      SetBkMode(dc, TRANSPARENT);
      return dialogBrush;
    case WM_CTLCOLORDLG: return dialogBrush;
    default: return nullptr;
  }
}

void Trace(std::string_view line) {
  static std::mutex mutex;
  const wchar_t* path = _wgetenv(L"TAMARIND_WINDOW_TRACE");
  if (!path || !*path) return;
  std::lock_guard lock(mutex);
  (void)platform::AppendWhole(platform::Narrow(path), std::string(line) + "\n");
}

}  // namespace tamarind::win32
