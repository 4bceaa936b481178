// The program's window: the "Convert" and "Options" tabs, "&Help" and
// "&About", and the notification-area icon that keeps the program at hand
// while it converts on its timer.
#pragma once

#include <QDialog>
#include <QSystemTrayIcon>
#include <functional>
#include <string>

#include "gui/anchored_layout.h"
#include "gui/messages.h"
#include "window/file_selection.h"
#include "window/front_settings.h"
#include "window/gui_run.h"

class QGroupBox;
class QMenu;
class QMimeData;
class QPushButton;
class QTabWidget;

namespace tamarind::gui {

class ConvertPage;
class OptionsPage;

inline constexpr const char* kTrayTip = "Tamarind\nConvert WinFax fxd/fxm/fxr/fxs to jpg";

class MainDialog : public QDialog {
  Q_OBJECT

 public:
  // Reads the settings file at |settingsPath| once.
  explicit MainDialog(std::string settingsPath, QWidget* parent = nullptr);
  ~MainDialog() override;

  ConvertPage* Convert() const { return convertPage_; }
  OptionsPage* Options() const { return optionsPage_; }
  QTabWidget* Tabs() const { return tabs_; }
  QMenu* TrayMenu() const { return trayMenu_; }
  QSystemTrayIcon* TrayIcon() const { return tray_; }
  // Replaces the question whether the desktop shows a notification area
  // now (tests).
  void SetTrayProbe(std::function<bool()> probe) { trayAvailable_ = std::move(probe); }
  // How the window and its Convert tab show message boxes (tests read them).
  void SetMessagePresenter(const MessagePresenter& presenter);

  // A saved automatic conversion starts its timer (called once at start).
  void ApplyAutoConvert();
  // The same as ConvertPage::AutoConvert, for callers that hold the window.
  void AutoConvert(int minutes, int state);
  // Stops a run after its file in progress, saves the settings, hides the
  // window and reports |exitCode| through Closed().
  void CloseAll(int exitCode);
  bool IsClosed() const { return closed_; }
  // Why the settings could not be saved when the window closed ("" when
  // they were).
  const std::string& SettingsError() const { return settingsError_; }
  void Restore();
  void ShowAbout();
  void ShowHelp();
  // The Options tab's values go to the Convert tab, which shows its fields
  // again.
  void SyncOptionsToConvertPage();
  // A dropped folder or dropped fax files become the source, with the
  // source kind they need; the Convert tab shows them.
  void TakeSource(const DroppedSource& dropped);

 signals:
  void Closed(int exitCode);

 public slots:
  void accept() override;  // Enter
  void reject() override;  // Esc

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;
  void dragEnterEvent(QDragEnterEvent* event) override;
  void dropEvent(QDropEvent* event) override;

 private:
  void CreateControls();
  void CreateTrayIcon();
  void CentreButtons();
  // Places everything for the present size: the tabs take what the window
  // gained, the buttons stay centred below them.
  void Stretch();
  // The saved size, no smaller than the layout's and no larger than the
  // screen.
  QSize StartSize(WindowSize saved) const;
  static DroppedSource DroppedSourceOf(const QMimeData* data);
  void ConnectSignals();  // every signal of the window and its handler, in one place
  void OnTabChanged(int index);
  void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);

  std::string settingsPath_;
  bool closed_ = false;
  std::string settingsError_;
  QTabWidget* tabs_ = nullptr;
  ConvertPage* convertPage_ = nullptr;
  OptionsPage* optionsPage_ = nullptr;
  AnchoredLayout layout_;
  QGroupBox* buttonFrame_ = nullptr;
  QPushButton* helpButton_ = nullptr;
  QPushButton* aboutButton_ = nullptr;
  QMenu* trayMenu_ = nullptr;
  QAction* openAction_ = nullptr;
  QAction* aboutAction_ = nullptr;
  QAction* exitAction_ = nullptr;
  QSystemTrayIcon* tray_ = nullptr;
  std::function<bool()> trayAvailable_ = &QSystemTrayIcon::isSystemTrayAvailable;
  MessagePresenter presenter_ = WindowModalPresenter();
};

}  // namespace tamarind::gui
