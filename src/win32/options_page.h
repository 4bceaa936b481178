// The "Options" tab: the conversion options and the automatic conversion,
// kept in section "Options" of the settings file.
#pragma once

#include <windows.h>

#include <functional>

#include "win32/dialog.h"
#include "window/front_settings.h"

namespace tamarind::win32 {

class OptionsPage : public ModelessDialog {
 public:
  // Where a change of the automatic conversion goes: minutes, on or off.
  using AutoConvertSink = std::function<void(int minutes, bool on)>;

  OptionsPage() = default;

  // Creates the page (hidden) as a child of |parent|, showing |options|.
  bool Create(HWND parent, const PageOptions& options, AutoConvertSink sink);

  // The values the controls hold now; also sets the process's recalcLines.
  const PageOptions& ReadControls();
  // Sends the automatic conversion's state to the sink.
  void ApplyAutoConvert();
  void Save(ProfileFile& profile);
  // Chooses "Convert File(s)" or "Convert Directory" as a click would.
  void ChooseSourceKind(bool files);

 private:
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void WriteControls();
  void ReadControlValues();
  void OnSourceKindChanged();
  // The format the combo box shows (JPEG when none is chosen).
  OutputFormat ChosenFormat() const;

  PageOptions options_;
  AutoConvertSink sink_;
};

}  // namespace tamarind::win32
