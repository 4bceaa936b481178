#include "win32/dialog.h"

#include "win32/controls.h"

namespace tamarind::win32 {

ModelessDialog::~ModelessDialog() {
  if (background_) DeleteObject(background_);
  if (editBackground_) DeleteObject(editBackground_);
}

bool ModelessDialog::CreateFromTemplate(int templateId, HWND parent, COLORREF background, COLORREF editBackground) {
  // The brushes first: the dialog asks for them while it is being made.
  background_ = CreateSolidBrush(background);
  editBackground_ = CreateSolidBrush(editBackground);
  window_ = CreateDialogParamW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(templateId), parent, Procedure,
                               reinterpret_cast<LPARAM>(this));
  return window_ != nullptr;
}

INT_PTR CALLBACK ModelessDialog::Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrW(window, DWLP_USER, lParam);
    reinterpret_cast<ModelessDialog*>(lParam)->window_ = window;
  }
  // Messages that come before WM_INITDIALOG (WM_SETFONT) find no owner.
  auto* dialog = reinterpret_cast<ModelessDialog*>(GetWindowLongPtrW(window, DWLP_USER));
  if (!dialog) return FALSE;
  switch (message) {
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORDLG:
      return reinterpret_cast<INT_PTR>(
          PaintControl(message, reinterpret_cast<HDC>(wParam), dialog->background_, dialog->editBackground_));
  }
  return dialog->Handle(message, wParam, lParam);
}

}  // namespace tamarind::win32
