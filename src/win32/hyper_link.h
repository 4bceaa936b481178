// A static text turned into a link: underlined, blue (purple once
// visited), a hand cursor, a tooltip with its target, and opened by the
// shell on a click, Enter or space.
#pragma once

#include <windows.h>

#include <string>

namespace tamarind::win32 {

class HyperLink {
 public:
  HyperLink() = default;
  HyperLink(const HyperLink&) = delete;
  HyperLink& operator=(const HyperLink&) = delete;
  ~HyperLink();

  // Takes over the static control |id| of |dialog|; a control without
  // text shows |target|.
  void Attach(HWND dialog, int id, std::string target);
  const std::string& Target() const { return target_; }
  HWND Window() const { return control_; }
  void Navigate();

 private:
  static LRESULT CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                    DWORD_PTR self);
  LRESULT Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void Paint();

  HWND control_ = nullptr;
  HWND tooltip_ = nullptr;
  HFONT font_ = nullptr;
  std::string target_;
  bool visited_ = false;
  bool pressed_ = false;
};

}  // namespace tamarind::win32
