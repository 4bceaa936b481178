// What every modeless dialog of the window does alike: it is made from its
// resource template with the object as its owner, its messages reach the
// object's Handle(), and its controls are painted with two brushes of its
// own colours, freed with it.
#pragma once

#include <windows.h>

namespace tamarind::win32 {

class ModelessDialog {
 public:
  ModelessDialog(const ModelessDialog&) = delete;
  ModelessDialog& operator=(const ModelessDialog&) = delete;
  HWND Window() const { return window_; }

 protected:
  ModelessDialog() = default;
  virtual ~ModelessDialog();

  // Makes the dialog of template |templateId| (hidden unless the template
  // says otherwise), a child of |parent| or a top window for null, its
  // background and its edits painted |background| and |editBackground|.
  // False when it cannot be made.
  bool CreateFromTemplate(int templateId, HWND parent, COLORREF background, COLORREF editBackground);

  // A message of the dialog other than the colour requests; WM_INITDIALOG
  // comes with window_ already set.
  virtual INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) = 0;

  HWND window_ = nullptr;

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HBRUSH background_ = nullptr;
  HBRUSH editBackground_ = nullptr;
};

}  // namespace tamarind::win32
