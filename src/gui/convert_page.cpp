#include "gui/convert_page.h"

#include <QFileDialog>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTime>
#include <limits>

#include "gui/artwork.h"
#include "gui/bitmap_button.h"
#include "gui/control_ids.h"
#include "gui/dialog_units.h"
#include "gui/focus_mark.h"
#include "gui/look.h"
#include "gui/preview_pane.h"
#include "gui/results_list.h"
#include "window/file_selection.h"
#include "window/window_texts.h"

namespace tamarind::gui {

// Hands the worker's reports to the window's thread without waiting, so
// the worker never blocks on the window and Cancel cannot deadlock.
class ConvertPage::WorkerEvents : public RunEvents {
 public:
  explicit WorkerEvents(ConvertPage* page) : page_(page) {}

  void SaveDirFailed(const std::string& reason) override {
    Post([page = page_, reason] { page->ShowSaveDirError(reason); });
  }
  void RunPlanned(const RunProgress& progress) override {
    Post([page = page_, progress] { page->OnRunPlanned(progress); });
  }
  void FileStarted(size_t index, const std::string& sourcePath) override {
    Post([page = page_, row = static_cast<int>(index), source = sourcePath] { page->OnFileStarted(row, source); });
  }
  void FileFinished(size_t index, const FinishedFile& file, const RunProgress& progress) override {
    Post([page = page_, row = static_cast<int>(index), file, progress] { page->OnFileFinished(row, file, progress); });
  }
  void RunFinished(const RunProgress& progress, bool cancelled) override {
    Post([page = page_, progress, cancelled] { page->OnWorkerFinished(progress, cancelled); });
  }

 private:
  template <typename Call>
  void Post(Call call) {
    QMetaObject::invokeMethod(page_, std::move(call), Qt::QueuedConnection);
  }

  ConvertPage* page_;
};

ConvertPage::ConvertPage(const MainFields& saved, QWidget* parent)
    : QWidget(parent), presenter_(WindowModalPresenter()) {
  form_.job.Reset();
  form_.sourceText = saved.sourceText;
  form_.destinationText = saved.destinationText;
  form_.statusText = std::string(kFirstStatusText);
  // The page's one timer, named by its id.
  autoTimer_.setObjectName(QStringLiteral("timer%1").arg(kAutoConvertTimer));
  CreateControls();
  ConnectSignals();
  ExchangeFields(true);
  ApplyColours(this, Surface::Page);
  UseSystemColours(results_);
  UseSystemColours(progress_);
  stopButton_->setEnabled(false);
}

ConvertPage::~ConvertPage() { StopAndWait(); }

void ConvertPage::CreateControls() {
  DialogUnits units(font());

  group_ = new QGroupBox(ToDisplay(ConvertGroupCaption(OutputFormat::Jpeg)), this);
  units.Place(group_, kIdConvertGroup, 7, 9, 269, 118);
  auto label = [&](const char* text, int id, int y) {
    auto* widget = new QLabel(QString::fromUtf8(text), this);
    widget->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    units.Place(widget, id, 12, y, 48, 8);
    return widget;
  };
  QLabel* filterLabel = label("File &filter", kIdFilterLabel, 22);
  filterEdit_ = new QLineEdit(this);
  units.Place(filterEdit_, kIdFilter, 64, 19, 187, 12);
  filterLabel->setBuddy(filterEdit_);

  label("Source", 0, 34);
  sourceEdit_ = new QLineEdit(this);
  units.Place(sourceEdit_, kIdSource, 64, 32, 187, 12);
  std::array<QPixmap, 4> images = BrowseImages();
  browseSource_ = new BitmapButton(images, this);
  browseSource_->setText(QStringLiteral("..."));
  units.Place(browseSource_, kIdBrowseSource, 258, 32, 13, 13);

  label("Destniation", 0, 47);
  destinationEdit_ = new QLineEdit(this);
  units.Place(destinationEdit_, kIdDestination, 64, 45, 187, 12);
  browseDestination_ = new BitmapButton(images, this);
  browseDestination_->setText(QStringLiteral("..."));
  units.Place(browseDestination_, kIdBrowseDestination, 258, 45, 13, 13);

  goButton_ = new QPushButton(QStringLiteral("&Go"), this);
  units.Place(goButton_, kIdGo, 14, 70, 47, 15);
  stopButton_ = new QPushButton(QStringLiteral("&Cancel"), this);
  units.Place(stopButton_, kIdStop, 14, 93, 47, 15);

  results_ = new ResultsList(this);
  units.Place(results_, kIdResults, 64, 58, 207, 68);
  resultsArea_ = results_->geometry();
  preview_ = new PreviewPane(this);
  // Under the list, while the timer runs.
  autoLine_ = new QLabel(this);
  autoLine_->setObjectName(QStringLiteral("autoConvertLine"));
  autoLine_->setVisible(false);

  progress_ = new QProgressBar(this);
  units.Place(progress_, kIdProgress, 7, 128, 270, 10);
  progress_->setTextVisible(false);
  progress_->setRange(0, 1);  // 0 .. 0 would show a busy bar
  progress_->setValue(0);

  status_ = new QLabel(this);
  units.Place(status_, kIdStatus, 7, 139, 270, 12);
  status_->setFrameStyle(QFrame::Panel | QFrame::Sunken);

  (new FocusMark(this))->Track({browseSource_, browseDestination_, goButton_, stopButton_, results_});
  AnchorControls();
}

void ConvertPage::AnchorControls() {
  layout_.Add(group_, kStretchRight | kStretchDown);
  for (QWidget* edit : {filterEdit_, sourceEdit_, destinationEdit_}) layout_.Add(edit, kStretchRight);
  for (QWidget* button : {browseSource_, browseDestination_}) layout_.Add(button, kFollowRight);
  for (QWidget* line : std::initializer_list<QWidget*>{progress_, status_})
    layout_.Add(line, kFollowBottom | kStretchRight);
  Stretch(QSize(0, 0));
}

void ConvertPage::Stretch(QSize extra) {
  lastExtra_ = extra;
  layout_.Apply(extra);
  // The preview is as wide as a portrait page as high as the list, at most
  // a third of the room, and only there when the list beside it can still
  // show its rows: at the layout's own size the list has the room alone.
  constexpr double kPageAspect = 0.71;  // width over height of A4 and letter pages
  QRect area = Anchored(resultsArea_, kStretchRight | kStretchDown, extra);
  const int gap = DialogUnits(font()).X(2);
  if (autoLine_->isVisibleTo(this)) {
    const int line = fontMetrics().height();
    autoLine_->setGeometry(area.left(), area.bottom() - line + 1, area.width(), line);
    area.setBottom(area.bottom() - line - gap);
  }
  const int previewWidth = std::min(static_cast<int>(area.height() * kPageAspect), area.width() / 3);
  const bool preview = area.width() - previewWidth - gap >= results_->ReadableWidth();
  preview_->setVisible(preview);
  if (!preview) {
    results_->setGeometry(area);
    return;
  }
  results_->setGeometry(area.adjusted(0, 0, -(previewWidth + gap), 0));
  preview_->setGeometry(area.adjusted(area.width() - previewWidth, 0, 0, 0));
}

void ConvertPage::ConnectSignals() {
  connect(goButton_, &QPushButton::clicked, this, &ConvertPage::OnGo);
  connect(stopButton_, &QPushButton::clicked, this, &ConvertPage::OnStop);
  connect(browseSource_, &QAbstractButton::clicked, this, &ConvertPage::OnBrowseSource);
  connect(browseDestination_, &QAbstractButton::clicked, this, &ConvertPage::OnBrowseDestination);
  connect(filterEdit_, &QLineEdit::editingFinished, this, &ConvertPage::OnFilterCommitted);
  connect(&autoTimer_, &QTimer::timeout, this, &ConvertPage::OnAutoConvertTick);
  connect(results_, &ResultsList::FaxSelected, preview_, &PreviewPane::ShowFax);
  connect(results_, &ResultsList::ViewRequested, this, &ConvertPage::ViewRequested);
  connect(preview_, &PreviewPane::ViewRequested, this, &ConvertPage::ViewRequested);
  connect(results_, &ResultsList::NothingOpens, this, &ConvertPage::ShowNothingOpens);
}

void ConvertPage::ExchangeFields(bool toControls) {
  if (toControls) {
    filterEdit_->setText(ToDisplay(form_.filterText));
    sourceEdit_->setText(ToDisplay(form_.sourceText));
    destinationEdit_->setText(ToDisplay(form_.destinationText));
    status_->setText(ToDisplay(form_.statusText));
  } else {
    form_.filterText = FromControl(filterEdit_->text());
    form_.sourceText = FromControl(sourceEdit_->text());
    form_.destinationText = FromControl(destinationEdit_->text());
    form_.statusText = FromControl(status_->text());
  }
}

QString ConvertPage::StatusText() const { return status_->text(); }

void ConvertPage::FocusSource() { sourceEdit_->setFocus(); }

void ConvertPage::SetSourceText(const std::string& text) {
  if (worker_.Running()) return;
  form_.sourceText = text;
  sourceEdit_->setText(ToDisplay(form_.sourceText));
}

void ConvertPage::ShowStatus() {
  // Only the status line: rewriting the edits on every file would throw
  // away what the user types into the filter during a run.
  status_->setText(ToDisplay(form_.statusText));
}

MainFields ConvertPage::Fields() {
  ExchangeFields(false);
  return {form_.sourceText, form_.destinationText};
}

void ConvertPage::SetOptions(const ConversionOptions& options) {
  form_.options = options;
  group_->setTitle(ToDisplay(ConvertGroupCaption(options.format)));
  results_->SetFormat(options.format);
}

// The filter reaches the job when the next run is prepared.
void ConvertPage::OnFilterCommitted() { ExchangeFields(false); }

void ConvertPage::OnGo() {
  ExchangeFields(false);
  if (const std::string refusal = form_.GoRefusal(worker_.Running()); !refusal.empty()) {
    ShowMessage(QMessageBox::Warning, QStringLiteral("Warning"), ToDisplay(refusal));
    return;
  }
  StartRun(false);
}

void ConvertPage::OnAutoConvertTick() {
  UpdateAutoConvertLine();
  if (worker_.Running()) return;
  ExchangeFields(false);
  if (form_.PrepareFileList()) StartRun(true);
}

void ConvertPage::StartRun(bool byTimer) {
  RunPlan plan = form_.Plan(byTimer);
  timerRun_ = byTimer;
  runError_.clear();
  if (byTimer) stopButton_->setEnabled(true);
  else SetRunControls(true);
  // A busy bar while the pages are counted.
  progress_->setRange(0, 0);
  results_->BeginRun(plan.options.source, plan.options.destination);
  preview_->ShowFax(QString());
  progressSoFar_ = RunProgress{};
  setCursor(Qt::BusyCursor);
  // Rewriting the edits would move the cursor of one being typed in.
  if (!byTimer) ExchangeFields(true);
  worker_.Start(form_.job, std::move(plan), std::make_unique<WorkerEvents>(this));
}

void ConvertPage::SetRunControls(bool running) {
  for (QWidget* control :
       std::initializer_list<QWidget*>{goButton_, browseSource_, browseDestination_, sourceEdit_, destinationEdit_})
    control->setEnabled(!running);
  stopButton_->setEnabled(running);
}

void ConvertPage::EndRun() {
  unsetCursor();
  SetRunControls(false);
}

void ConvertPage::OnStop() {
  // The worker stops after the file in progress, whose output is never cut
  // short; its last reports still arrive and the page stays usable.
  worker_.RequestStop();
  EndRun();
}

void ConvertPage::OnRunPlanned(const RunProgress& progress) {
  progressSoFar_ = progress;
  const int64_t units = std::clamp<int64_t>(progress.units, 1, std::numeric_limits<int>::max());
  progress_->setRange(0, static_cast<int>(units));
  progress_->setValue(0);
}

void ConvertPage::OnFileStarted(int index, const std::string& source) {
  results_->AddFile(index, source);
  doing_ = results_->ShownSource(source);
  form_.statusText = RunningText(progressSoFar_, FromControl(doing_));
  ShowStatus();
}

void ConvertPage::OnFileFinished(int index, const FinishedFile& file, const RunProgress& progress) {
  results_->FinishFile(index, file);
  progressSoFar_ = progress;
  progress_->setValue(static_cast<int>(std::min<int64_t>(progress.unitsDone, progress_->maximum())));
  form_.statusText = RunningText(progress, FromControl(doing_));
  ShowStatus();
}

void ConvertPage::OnWorkerFinished(const RunProgress& progress, bool cancelled) {
  const int converted = progress.converted;
  form_.statusText = DoneText(progress, cancelled);
  if (!runError_.empty()) form_.statusText += ". " + runError_;
  if (progress_->maximum() == 0) progress_->setRange(0, 1);  // stopped while counting
  ShowStatus();
  EndRun();
  worker_.Finished();
  emit RunFinished(converted);
}

void ConvertPage::AutoConvert(int minutes, int state) {
  if (state == 1) autoTimer_.start(tamarind::AutoConvertIntervalMs(minutes));
  else autoTimer_.stop();
  UpdateAutoConvertLine();
}

QString ConvertPage::AutoConvertLine() const {
  if (!autoTimer_.isActive()) return {};
  const QTime next = QTime::currentTime().addMSecs(autoTimer_.remainingTime());
  return ToDisplay(AutoConvertText(autoTimer_.interval() / 60000, next.hour(), next.minute()));
}

void ConvertPage::UpdateAutoConvertLine() {
  const bool shown = autoTimer_.isActive();
  autoLine_->setText(AutoConvertLine());
  if (autoLine_->isVisibleTo(this) == shown) return;
  autoLine_->setVisible(shown);
  Stretch(lastExtra_);
}

void ConvertPage::ShowMessage(QMessageBox::Icon icon, const QString& caption, const QString& text) {
  presenter_(this, {icon, caption, text});
}

void ConvertPage::ShowSaveDirError(const std::string& reason) {
  // A run the timer started says it in the status line when it ends: a
  // box would take the focus from whatever the user is typing.
  if (timerRun_) {
    runError_ = std::string(kSaveDirErrorMessage) + ": " + reason;
    return;
  }
  if (saveDirErrorBox_) return;
  saveDirErrorBox_ =
      presenter_(this, {QMessageBox::Critical, QStringLiteral("Error"), ToDisplay(SaveDirErrorText(reason))});
}

void ConvertPage::ShowNothingOpens(const QString& path) {
  ShowMessage(QMessageBox::Warning, QStringLiteral("Tamarind"), ToDisplay(NothingOpensText(FromControl(path))));
}

void ConvertPage::OnBrowseSource() {
  ExchangeFields(false);
  if (form_.options.convertFiles) {
    QStringList chosen = QFileDialog::getOpenFileNames(window(), QString(), QString(), ToDisplay(kFaxFileFilters));
    if (chosen.isEmpty()) return;
    std::string folder = FromControl(QFileInfo(chosen.front()).absolutePath());
    std::vector<std::string> names;
    for (const QString& path : chosen) names.push_back(FromControl(QFileInfo(path).fileName()));
    form_.sourceText = FormatFileSelection(folder, names);
  } else {
    QString folder = QFileDialog::getExistingDirectory(window());
    if (folder.isEmpty()) return;
    form_.sourceText = FromControl(folder);
  }
  ExchangeFields(true);
}

void ConvertPage::OnBrowseDestination() {
  // Read first, or the re-display below would undo what was typed into the
  // source and filter since the last exchange.
  ExchangeFields(false);
  QString folder = QFileDialog::getExistingDirectory(window());
  if (folder.isEmpty()) return;
  form_.destinationText = FromControl(folder);
  ExchangeFields(true);
}

}  // namespace tamarind::gui
