// Small helpers over the Win32 controls of the window: texts in UTF-8,
// check states, message boxes, colours, and the trace the window tests
// read.
#pragma once

#include <windows.h>

#include <string>
#include <string_view>

namespace tamarind::win32 {

// WM_APP+1: starts (lParam 1) or stops the automatic conversion timer of
// the Convert page, wParam minutes.
inline constexpr UINT WM_AUTOCONVERT = WM_APP + 1;
// WM_APP+2: the Convert page has reports of its worker to show.
inline constexpr UINT WM_WORKER_REPORTS = WM_APP + 2;

std::string ControlText(HWND dialog, int id);
void SetControlText(HWND dialog, int id, std::string_view text);
bool IsChecked(HWND dialog, int id);
void SetChecked(HWND dialog, int id, bool checked);
void EnableControl(HWND dialog, int id, bool enabled);

// A modal message box owned by |owner| with one OK button.
void ShowMessage(HWND owner, std::string_view text, std::string_view caption, UINT icon);

// Blue text on the dialog's colours, as the pages paint their controls.
// Returns the brush for a WM_CTLCOLOR* message, or null for the default.
HBRUSH PaintControl(UINT message, HDC dc, HBRUSH dialogBrush, HBRUSH editBrush);

// With TAMARIND_WINDOW_TRACE naming a file, appends |line| to it: what the
// window shows (results rows, tabs, settings saved), for tests that drive
// the window from outside and cannot read its controls.
void Trace(std::string_view line);

}  // namespace tamarind::win32
