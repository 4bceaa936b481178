#include "gui/main_dialog.h"

#include <QApplication>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QScreen>
#include <QTabWidget>
#include <QTimer>
#include <QUrl>

#include "convert/process.h"
#include "gui/about_dialog.h"
#include "gui/artwork.h"
#include "gui/control_ids.h"
#include "gui/convert_page.h"
#include "gui/dialog_units.h"
#include "gui/fax_viewer.h"
#include "gui/look.h"
#include "gui/options_page.h"
#include "gui/preview_pane.h"
#include "platform/console.h"
#include "window/gui_run.h"
#include "window/help.h"
#include "window/window_texts.h"

namespace tamarind::gui {

MainDialog::MainDialog(std::string settingsPath, QWidget* parent)
    : QDialog(parent),
      settingsPath_(std::move(settingsPath)),
      opener_([](const QUrl& url) { return QDesktopServices::openUrl(url); }) {
  setWindowTitle(QStringLiteral("Tamarind"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                 Qt::WindowMaximizeButtonHint | Qt::WindowCloseButtonHint);
  setWindowIcon(AppIcon());
  setAcceptDrops(true);
  ProfileFile profile = ProfileFile::Load(settingsPath_);
  convertPage_ = new ConvertPage(ReadMainFields(profile));
  optionsPage_ = new OptionsPage(ReadPageOptions(profile, conversionSettings.recalcLines));
  CreateControls();
  ApplyColours(this, Surface::Main);
  CreateTrayIcon();
  ConnectSignals();
  tabs_->setCurrentIndex(0);
  SyncOptionsToConvertPage();
  resize(StartSize(ReadWindowSize(profile)));
  startSize_ = size();
  Stretch();
  if (QScreen* screen = this->screen()) move(screen->availableGeometry().center() - rect().center());
}

QSize MainDialog::StartSize(WindowSize saved) {
  // Without a saved size the window opens wide enough for the results and
  // the preview side by side. Sizes are kept in dialog units, so a font or
  // display scale of another start gives the same layout.
  const DialogUnits units(font());
  wantedUnits_ = saved.width > 0 ? QSize(saved.width, saved.height) : units.UnitsOf(minimumSize()) + QSize(110, 40);
  QSize size = units.Size(wantedUnits_.width(), wantedUnits_.height()).expandedTo(minimumSize());
  if (const QScreen* screen = this->screen()) size = size.boundedTo(screen->availableGeometry().size());
  return size.expandedTo(minimumSize());
}

QSize MainDialog::SizeToSave() const {
  const QSize shown = isMaximized() || isFullScreen() ? normalGeometry().size() : size();
  // A screen too small for the size asked (a display scaled up) held the
  // window smaller; that is no size the user chose.
  if (shown == startSize_) return wantedUnits_;
  return DialogUnits(font()).UnitsOf(shown);
}

MainDialog::~MainDialog() { tray_->hide(); }

void MainDialog::CreateControls() {
  DialogUnits units(font());
  // The layout's own size is the smallest; the window may grow from it.
  setMinimumSize(units.Size(315, 208));
  resize(minimumSize());
  tabs_ = new QTabWidget(this);
  units.Place(tabs_, kIdTabs, 7, 5, 295, 170);
  tabs_->addTab(convertPage_, QIcon(TabImage(0)), QStringLiteral("Convert"));
  tabs_->addTab(optionsPage_, QIcon(TabImage(1)), QStringLiteral("Options"));
  tabs_->setIconSize(QSize(16, 16));
  buttonFrame_ = new QGroupBox(this);
  units.Place(buttonFrame_, kIdButtonFrame, 7, 175, 296, 23);
  helpButton_ = new QPushButton(QStringLiteral("&Help"), this);
  units.Place(helpButton_, kIdHelp, 49, 181, 59, 14);
  aboutButton_ = new QPushButton(QStringLiteral("&About"), this);
  units.Place(aboutButton_, kIdAbout, 123, 181, 59, 14);
  CentreButtons();
  layout_.Add(tabs_, kStretchRight | kStretchDown);
  layout_.Add(buttonFrame_, kStretchRight | kFollowBottom);
  for (QWidget* button : {helpButton_, aboutButton_}) layout_.Add(button, kFollowBottom);
  // Enter presses the button that has the focus; no button is pressed by
  // an Enter elsewhere.
  for (QPushButton* button : findChildren<QPushButton*>()) {
    button->setAutoDefault(true);
    button->setDefault(false);
  }

  trayMenu_ = new QMenu(this);
  openAction_ = trayMenu_->addAction(QStringLiteral("&Open..."));
  openAction_->setData(kIdOpen);
  aboutAction_ = trayMenu_->addAction(QStringLiteral("&About..."));
  aboutAction_->setData(kIdAbout);
  exitAction_ = trayMenu_->addAction(QStringLiteral("E&xit"));
  exitAction_->setData(kIdExit);
  trayMenu_->setDefaultAction(openAction_);
}

void MainDialog::Stretch() {
  const QSize extra = size() - minimumSize();
  layout_.Apply(extra);
  CentreButtons();
  convertPage_->Stretch(extra);
  optionsPage_->Stretch(extra);
}

void MainDialog::resizeEvent(QResizeEvent* event) {
  QDialog::resizeEvent(event);
  if (helpButton_) Stretch();  // not while the controls are being made
}

void MainDialog::dragEnterEvent(QDragEnterEvent* event) {
  if (!DroppedSourceOf(event->mimeData()).sourceText.empty() && !convertPage_->Running()) event->acceptProposedAction();
}

void MainDialog::dropEvent(QDropEvent* event) {
  DroppedSource dropped = DroppedSourceOf(event->mimeData());
  if (dropped.sourceText.empty() || convertPage_->Running()) return;
  event->acceptProposedAction();
  TakeSource(dropped);
}

DroppedSource MainDialog::DroppedSourceOf(const QMimeData* data) {
  std::vector<std::string> paths;
  for (const QUrl& url : data->urls())
    if (url.isLocalFile()) paths.push_back(FromControl(url.toLocalFile()));
  return SourceFromDrop(paths);
}

void MainDialog::TakeSource(const DroppedSource& dropped) {
  // What is typed on the Convert tab stays; then the source kind is chosen
  // as a click on its button would, and the Convert tab shows the result.
  if (tabs_->currentIndex() == 0) convertPage_->ExchangeFields(false);
  optionsPage_->ChooseSourceKind(dropped.files);
  convertPage_->SetSourceText(dropped.sourceText);
  if (tabs_->currentIndex() == 0) SyncOptionsToConvertPage();
  else tabs_->setCurrentIndex(0);
}

void MainDialog::CentreButtons() {
  // The pair keeps its own gap and sits in the middle of the frame, at
  // every font size.
  const int gap = aboutButton_->x() - helpButton_->geometry().right() - 1;
  const int pair = helpButton_->width() + gap + aboutButton_->width();
  const int left = buttonFrame_->x() + (buttonFrame_->width() - pair) / 2;
  helpButton_->move(left, helpButton_->y());
  aboutButton_->move(left + helpButton_->width() + gap, aboutButton_->y());
}

void MainDialog::CreateTrayIcon() {
  // Made even when the desktop has no notification area yet (it may start
  // after the program, as at login): the icon appears once it does.
  tray_ = new QSystemTrayIcon(AppIcon(), this);
  tray_->setToolTip(ToDisplay(TrayTip(OutputFormat::Jpeg)));
  tray_->setContextMenu(trayMenu_);
  tray_->show();
}

void MainDialog::ConnectSignals() {
  connect(tabs_, &QTabWidget::currentChanged, this, &MainDialog::OnTabChanged);
  connect(helpButton_, &QPushButton::clicked, this, &MainDialog::ShowHelp);
  connect(aboutButton_, &QPushButton::clicked, this, &MainDialog::ShowAbout);
  connect(openAction_, &QAction::triggered, this, &MainDialog::Restore);
  connect(aboutAction_, &QAction::triggered, this, &MainDialog::ShowAbout);
  connect(exitAction_, &QAction::triggered, this, [this] { CloseAll(1); });
  connect(optionsPage_, &OptionsPage::AutoConvertRequested, convertPage_, &ConvertPage::AutoConvert);
  connect(tray_, &QSystemTrayIcon::activated, this, &MainDialog::OnTrayActivated);
  connect(convertPage_, &ConvertPage::ViewRequested, this, &MainDialog::ShowViewer);
}

void MainDialog::ApplyAutoConvert() { optionsPage_->ApplyAutoConvert(); }

void MainDialog::AutoConvert(int minutes, int state) { convertPage_->AutoConvert(minutes, state); }

void MainDialog::SyncOptionsToConvertPage() {
  optionsPage_->ReadControls();
  convertPage_->SetOptions(optionsPage_->Options().conversion);
  convertPage_->ExchangeFields(true);
  tray_->setToolTip(ToDisplay(TrayTip(optionsPage_->Options().conversion.format)));
}

void MainDialog::OnTabChanged(int index) {
  // Leaving the Convert tab keeps what was typed there, whichever box had
  // the focus; coming back shows it again with the options just chosen.
  if (index == 0) SyncOptionsToConvertPage();
  else convertPage_->ExchangeFields(false);
}

void MainDialog::OnTrayActivated(QSystemTrayIcon::ActivationReason reason) {
  if (reason == QSystemTrayIcon::DoubleClick) Restore();
}

void MainDialog::Restore() {
  if (isMinimized()) showNormal();
  else show();
  raise();
  activateWindow();
}

void MainDialog::ShowAbout() {
  AboutDialog about(QApplication::activeWindow() ? QApplication::activeWindow() : this);
  about.exec();
}

void MainDialog::ShowHelp() {
  platform::Expected<std::string> document = HelpDocumentPath(processPaths.modulePath);
  if (!document) {
    presenter_(this, {QMessageBox::Warning, QStringLiteral("Tamarind"), ToDisplay(document.reason())});
    return;
  }
  if (!opener_(QUrl::fromLocalFile(ToDisplay(*document))))
    presenter_(this, {QMessageBox::Warning, QStringLiteral("Tamarind"), ToDisplay(NothingOpensText(*document))});
}

void MainDialog::TakeOneOffSource(const std::string& path) {
  if (convertPage_->Running()) return;
  const DroppedSource dropped = SourceFromDrop(std::vector<std::string>{path});
  if (dropped.sourceText.empty()) return;
  // What would be saved now is what the end keeps, whatever this changes.
  OneOffSource oneOff{dropped.sourceText, convertPage_->Fields(), {}};
  optionsPage_->ReadControls();
  oneOff.savedOptions = optionsPage_->Options();
  if (oneOff_) {
    oneOff.savedFields = oneOff_->savedFields;
    oneOff.savedOptions = oneOff_->savedOptions;
  }
  oneOff_ = std::move(oneOff);
  TakeSource(dropped);
  convertPage_->Preview()->ShowFax(ToDisplay(path));
  Restore();
}

FaxViewer* MainDialog::ShowViewer(const QString& path) {
  auto* viewer = new FaxViewer(path);
  connect(viewer, &FaxViewer::ConvertRequested, this,
          [this](const QString& fax) { TakeOneOffSource(FromControl(fax)); });
  viewers_.emplace_back(viewer);
  viewer->show();
  return viewer;
}

void MainDialog::SetMessagePresenter(const MessagePresenter& presenter) {
  presenter_ = presenter;
  convertPage_->SetMessagePresenter(presenter);
}

void MainDialog::CloseAll(int exitCode) {
  if (closed_) return;
  closed_ = true;
  convertPage_->AutoConvert(0, 0);  // no run may start while the window goes
  convertPage_->StopAndWait();
  for (const QPointer<FaxViewer>& viewer : viewers_)
    if (viewer) viewer->close();
  // Read again so that lines written by anyone else meanwhile are kept.
  ProfileFile profile = ProfileFile::Load(settingsPath_);
  MainFields fields = convertPage_->Fields();
  PageOptions options = optionsPage_->ReadForSaving();
  if (oneOff_) KeepSavedSource(*oneOff_, fields, options);
  WriteMainFields(profile, fields);
  const QSize units = SizeToSave();
  WriteWindowSize(profile, {units.width(), units.height()});
  WritePageOptions(profile, options);
  if (platform::Status saved = profile.Save(); !saved) {
    settingsError_ = saved.reason();
    platform::WriteErr("tamarind: the settings were not saved: " + settingsError_ + "\n");
  }
  tray_->hide();
  hide();
  emit Closed(exitCode);
}

void MainDialog::accept() {}

void MainDialog::reject() { CloseAll(2); }

void MainDialog::closeEvent(QCloseEvent* event) {
  CloseAll(2);
  event->accept();
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
  // Only plain keys: Alt+letter and the like are mnemonics and shortcuts.
  if ((event->modifiers() & ~Qt::KeypadModifier) != 0) {
    QDialog::keyPressEvent(event);
    return;
  }
  switch (event->key()) {
    case Qt::Key_Return:
    case Qt::Key_Enter:
      // A button that has the focus takes Enter itself; a box hands it on
      // to the next control, as a typed path is done.
      if (qobject_cast<QLineEdit*>(QApplication::focusWidget())) focusNextChild();
      return;
    case Qt::Key_Escape: OnEscape(); return;
    default: QDialog::keyPressEvent(event);
  }
}

void MainDialog::OnEscape() {
  // Nothing to cancel, nothing to do: Esc must not lose the window.
  if (!convertPage_->Running()) return;
  question_(this, {QMessageBox::Question, QStringLiteral("Tamarind"), ToDisplay(kCancelRunQuestion)},
            [page = QPointer<ConvertPage>(convertPage_)] {
              if (page) page->OnStop();
            });
}

void MainDialog::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (shownOnce_) return;
  shownOnce_ = true;
  convertPage_->FocusSource();
}

void MainDialog::changeEvent(QEvent* event) {
  QDialog::changeEvent(event);
  // Without a notification area at this moment the window must stay in the
  // task bar: nothing could bring it back.
  if (event->type() == QEvent::WindowStateChange && isMinimized() && trayAvailable_())
    QTimer::singleShot(0, this, &QWidget::hide);
}

}  // namespace tamarind::gui
