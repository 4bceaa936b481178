// The window: the main dialog with its "Convert" and "Options" tabs, "&Help"
// and "&About", and its icon in the notification area.
#pragma once

// windows.h first: the headers after it use its types.
#include <windows.h>

#include <commctrl.h>
#include <shellapi.h>

#include <string>

#include "win32/convert_page.h"
#include "win32/dialog.h"
#include "win32/options_page.h"

namespace tamarind::win32 {

class MainDialog : public ModelessDialog {
 public:
  explicit MainDialog(std::string settingsPath) : settingsPath_(std::move(settingsPath)) {}
  ~MainDialog() override;

  // Creates the dialog, hidden; false when it cannot be made.
  bool Create();
  // A fax or folder to convert, opened with the program or dropped on it.
  void TakeSource(const DroppedSource& source);
  void ApplyAutoConvert() { optionsPage_.ApplyAutoConvert(); }
  void Show(int showCommand) { ShowWindow(window_, showCommand); }
  // Keyboard handling of the dialogs for a message of the loop; true when
  // it was taken.
  bool TakeMessage(MSG& message);
  // The settings file could not be written when the window closed.
  const std::string& SettingsError() const { return settingsError_; }

 private:
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Initialise();
  void PlacePages();
  void AddTrayIcon();
  void SelectTab(int index);
  void SyncOptionsToConvertPage();
  bool OnCommand(int id);
  void OnTrayIcon(LPARAM event);
  void OnDrop(HDROP drop);
  void Restore();
  void OpenHelp();
  void CloseAll(int exitCode);

  std::string settingsPath_;
  HWND tabs_ = nullptr;
  HIMAGELIST tabImages_ = nullptr;
  UINT trayMessage_ = 0;
  NOTIFYICONDATAW tray_{};
  bool trayInstalled_ = false;
  bool closed_ = false;
  std::string settingsError_;
  ConvertPage convertPage_;
  OptionsPage optionsPage_;
};

}  // namespace tamarind::win32
