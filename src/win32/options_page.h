// The "Options" tab: the conversion options and the automatic conversion,
// kept in section "Options" of the settings file.
#pragma once

#include <windows.h>

#include <functional>

#include "window/front_settings.h"

namespace tamarind::win32 {

class OptionsPage {
 public:
  // Where a change of the automatic conversion goes: minutes, on or off.
  using AutoConvertSink = std::function<void(int minutes, bool on)>;

  OptionsPage() = default;
  OptionsPage(const OptionsPage&) = delete;
  OptionsPage& operator=(const OptionsPage&) = delete;
  ~OptionsPage();

  // Creates the page (hidden) as a child of |parent|, showing |options|.
  bool Create(HWND parent, const PageOptions& options, AutoConvertSink sink);
  HWND Window() const { return window_; }

  // The values the controls hold now; also sets the process's recalcLines.
  const PageOptions& ReadControls();
  // Sends the automatic conversion's state to the sink.
  void ApplyAutoConvert();
  void Save(ProfileFile& profile);
  // Chooses "Convert File(s)" or "Convert Directory" as a click would.
  void ChooseSourceKind(bool files);

 private:
  static INT_PTR CALLBACK Procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);
  void WriteControls();
  void ReadControlValues();
  void OnSourceKindChanged();

  HWND window_ = nullptr;
  PageOptions options_;
  AutoConvertSink sink_;
  HBRUSH pageBrush_ = nullptr;
  HBRUSH editBrush_ = nullptr;
};

}  // namespace tamarind::win32
