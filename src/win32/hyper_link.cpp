#include "win32/hyper_link.h"

#include <commctrl.h>
#include <shellapi.h>
#include <windowsx.h>

#include "platform/windows/unicode.h"

namespace tamarind::win32 {

namespace {

constexpr COLORREF kLinkColour = RGB(0, 0, 255);
constexpr COLORREF kVisitedColour = RGB(128, 0, 128);
constexpr UINT_PTR kSubclassId = 1;

}  // namespace

HyperLink::~HyperLink() {
  if (control_) RemoveWindowSubclass(control_, Procedure, kSubclassId);
  if (tooltip_) DestroyWindow(tooltip_);
  if (font_) DeleteObject(font_);
}

void HyperLink::Attach(HWND dialog, int id, std::string target) {
  control_ = GetDlgItem(dialog, id);
  wchar_t className[16] = {};
  GetClassNameW(control_, className, 16);
  if (!control_ || _wcsicmp(className, L"static") != 0) return;
  target_ = std::move(target);
  SetWindowLongPtrW(control_, GWL_STYLE, GetWindowLongPtrW(control_, GWL_STYLE) | SS_NOTIFY);
  if (GetWindowTextLengthW(control_) == 0) SetWindowTextW(control_, platform::Widen(target_).c_str());
  LOGFONTW underlined{};
  GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control_, WM_GETFONT, 0, 0)), sizeof underlined, &underlined);
  underlined.lfUnderline = TRUE;
  font_ = CreateFontIndirectW(&underlined);
  tooltip_ = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, dialog, nullptr, GetModuleHandleW(nullptr), nullptr);
  std::wstring tip = platform::Widen(target_);
  TOOLINFOW tool{};
  tool.cbSize = sizeof tool;
  tool.uFlags = TTF_IDISHWND | TTF_SUBCLASS;
  tool.hwnd = dialog;
  tool.uId = reinterpret_cast<UINT_PTR>(control_);
  tool.lpszText = tip.data();
  SendMessageW(tooltip_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&tool));
  SetWindowSubclass(control_, Procedure, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
}

void HyperLink::Navigate() {
  const auto result = reinterpret_cast<INT_PTR>(
      ShellExecuteW(nullptr, L"open", platform::Widen(target_).c_str(), nullptr, nullptr, SW_SHOWNORMAL));
  // The shell's own fallbacks apply when no program is registered; the
  // link is marked visited only when something opened it.
  if (result > 32) {
    visited_ = true;
    InvalidateRect(control_, nullptr, TRUE);
  }
}

LRESULT CALLBACK HyperLink::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                      DWORD_PTR self) {
  auto* link = reinterpret_cast<HyperLink*>(self);
  if (LRESULT handled = link->Handle(message, wParam, lParam); handled != -1) return handled;
  return DefSubclassProc(window, message, wParam, lParam);
}

LRESULT HyperLink::Handle(UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_PAINT: Paint(); return 0;
    case WM_SETCURSOR: SetCursor(LoadCursorW(nullptr, IDC_HAND)); return TRUE;
    case WM_LBUTTONDOWN:
      pressed_ = true;
      SetFocus(control_);
      return 0;
    case WM_LBUTTONUP:
      if (pressed_) Navigate();
      pressed_ = false;
      return 0;
    case WM_GETDLGCODE: return DLGC_WANTCHARS | DLGC_BUTTON;
    case WM_KEYDOWN:
      if (wParam == VK_RETURN || wParam == VK_SPACE) Navigate();
      return 0;
    case WM_SETFOCUS:
    case WM_KILLFOCUS: InvalidateRect(control_, nullptr, TRUE); return -1;
  }
  return -1;
}

void HyperLink::Paint() {
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(control_, &paint);
  RECT area;
  GetClientRect(control_, &area);
  const int length = GetWindowTextLengthW(control_);
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  GetWindowTextW(control_, text.data(), length + 1);
  text.resize(static_cast<size_t>(length));
  const HGDIOBJ old = SelectObject(dc, font_);
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, !IsWindowEnabled(control_) ? GetSysColor(COLOR_GRAYTEXT) : visited_ ? kVisitedColour : kLinkColour);
  const bool centred = (GetWindowLongPtrW(control_, GWL_STYLE) & SS_TYPEMASK) == SS_CENTER;
  DrawTextW(dc, text.c_str(), length, &area, (centred ? DT_CENTER : DT_LEFT) | DT_SINGLELINE | DT_NOPREFIX);
  if (GetFocus() == control_) DrawFocusRect(dc, &area);
  SelectObject(dc, old);
  EndPaint(control_, &paint);
}

}  // namespace tamarind::win32
