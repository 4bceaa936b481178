#include "win32/front_end.h"

// windows.h first: the headers after it use its types.
#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <vector>

#include "convert/process.h"
#include "win32/controls.h"
#include "win32/main_dialog.h"

namespace tamarind::win32 {

int RunFrontEnd(const std::string& fileToOpen) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
  InitCommonControlsEx(&controls);
  int exitCode = 0;
  {
    MainDialog dialog(processPaths.settingsPath);
    if (dialog.Create()) {
      // Before the timer starts: a fax as the source leaves no automatic
      // conversion running.
      if (!fileToOpen.empty()) dialog.TakeSource(SourceFromDrop(std::vector<std::string>{fileToOpen}));
      dialog.ApplyAutoConvert();
      dialog.Show(SW_SHOWNORMAL);
      Trace("ready");
      MSG message;
      while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (dialog.TakeMessage(message)) continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
      }
      exitCode = static_cast<int>(message.wParam);
      if (!dialog.SettingsError().empty())
        ShowMessage(nullptr, "The settings could not be saved:\n" + dialog.SettingsError(), "Tamarind", MB_ICONWARNING);
    }
  }
  CoUninitialize();
  return exitCode;
}

}  // namespace tamarind::win32
