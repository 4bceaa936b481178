// The program's window: the "Convert" and "Options" tabs, "&Help" and
// "&About", and the notification-area icon that keeps the program at hand
// while it converts on its timer.
#pragma once

#include <QDialog>
#include <QPointer>
#include <QSystemTrayIcon>
#include <QUrl>
#include <functional>
#include <optional>
#include <string>
#include <vector>

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
class FaxViewer;
class OptionsPage;

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
  // How the window and its Convert tab show message boxes and ask
  // questions (tests read and answer them).
  void SetMessagePresenter(const MessagePresenter& presenter);
  void SetQuestionPresenter(QuestionPresenter presenter) { question_ = std::move(presenter); }
  // Replaces the desktop's handler of documents (tests).
  void SetOpener(std::function<bool(const QUrl&)> opener) { opener_ = std::move(opener); }

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
  // The fax at |path| becomes the source for this session only: the
  // settings saved at the end keep the source they had (OneOffSource).
  void TakeOneOffSource(const std::string& path);
  // Opens the viewer on the fax at |path|; its "Convert..." comes back
  // here as a one-off source.
  FaxViewer* ShowViewer(const QString& path);
  const std::vector<QPointer<FaxViewer>>& Viewers() const { return viewers_; }

 signals:
  void Closed(int exitCode);

 public slots:
  void accept() override;  // never: Enter does not close the window
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void changeEvent(QEvent* event) override;
  void showEvent(QShowEvent* event) override;
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
  QSize StartSize(WindowSize saved);
  static DroppedSource DroppedSourceOf(const QMimeData* data);
  void ConnectSignals();  // every signal of the window and its handler, in one place
  void OnTabChanged(int index);
  void OnTrayActivated(QSystemTrayIcon::ActivationReason reason);
  // Esc: while a run converts, asks whether to cancel it.
  void OnEscape();
  // The size to save, in dialog units: the size shown, or the size asked
  // for when the screen held the window smaller and the user left it so.
  QSize SizeToSave() const;

  std::string settingsPath_;
  bool closed_ = false;
  bool shownOnce_ = false;
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
  QuestionPresenter question_ = WindowModalQuestion();
  std::function<bool(const QUrl&)> opener_;
  std::optional<OneOffSource> oneOff_;
  std::vector<QPointer<FaxViewer>> viewers_;
  QSize wantedUnits_;  // the size asked for at start, in dialog units
  QSize startSize_;    // the size it got, in pixels
};

}  // namespace tamarind::gui
