// The "Convert" tab: source, destination and filter, the results list and
// progress, the worker thread that runs the conversions and the timer of
// the automatic conversion.
#pragma once

#include <QPointer>
#include <QTimer>
#include <QWidget>
#include <atomic>
#include <string>
#include <thread>

#include "convert/conversion_job.h"
#include "gui/anchored_layout.h"
#include "gui/messages.h"
#include "window/convert_form.h"
#include "window/front_settings.h"
#include "window/gui_run.h"

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tamarind::gui {

class BitmapButton;
class PreviewPane;
class ResultsList;

class ConvertPage : public QWidget {
  Q_OBJECT

 public:
  ConvertPage(const MainFields& saved, QWidget* parent = nullptr);
  ~ConvertPage() override;

  // true: members into the controls; false: controls into the members.
  void ExchangeFields(bool toControls);
  // The options the next run uses, as the Options tab set them; the source,
  // destination and filter come from this page's fields. The captions
  // follow the output format.
  void SetOptions(const ConversionOptions& options);
  const ConversionOptions& Options() const { return form_.options; }
  // Reads the fields: what "FaxDir" and "SaveDir" save.
  MainFields Fields();

  // Starts (|state| 1) or stops (anything else) the automatic conversion
  // every |minutes|.
  void AutoConvert(int minutes, int state);
  bool AutoConvertActive() const { return autoTimer_.isActive(); }
  int AutoConvertIntervalMs() const { return autoTimer_.interval(); }
  // "Automatic conversion every N minutes, next at HH:MM" while the timer
  // runs, else "".
  QString AutoConvertLine() const;

  bool Running() const { return worker_.Running(); }
  // Asks the worker to stop after the file in progress and waits for it;
  // used when the window closes.
  void StopAndWait() { worker_.StopAndWait(); }

  void SetMessagePresenter(MessagePresenter presenter) { presenter_ = std::move(presenter); }
  // Replaces ConvertFile, for tests that need a slow or scripted run.
  void SetFileConverter(FileConverter converter) { form_.job.converter = std::move(converter); }

  QString StatusText() const;
  // The source box takes the focus: a source is what a user names first.
  void FocusSource();
  QGroupBox* Group() const { return group_; }
  ResultsList* Results() const { return results_; }
  PreviewPane* Preview() const { return preview_; }

  // Places the controls for a page |extra| larger than its base size: the
  // results list and the preview take the room, the edits widen, the bar
  // and the status line stay at the bottom; nothing else moves.
  void Stretch(QSize extra);
  // A folder, or in "Convert File(s)" mode the files, as the source (a
  // drop on the window); ignored while a run converts.
  void SetSourceText(const std::string& text);

 public slots:
  void OnGo();
  void OnStop();
  void OnAutoConvertTick();

 signals:
  // A run ended and the page is idle again.
  void RunFinished(int converted);
  // The user asked to see the fax at |path| (a row, the preview).
  void ViewRequested(const QString& path);

 private:
  class WorkerEvents;

  void CreateControls();
  // How each control follows the page's edges as it grows.
  void AnchorControls();
  void ConnectSignals();  // every signal of the page and its handler, in one place
  void OnBrowseSource();
  void OnBrowseDestination();
  void OnFilterCommitted();

  // A run started by the timer leaves every control as it is: the user may
  // be typing, and the run has its own copy of the fields.
  void StartRun(bool byTimer);
  void SetRunControls(bool running);
  void EndRun();
  void ShowStatus();
  void ShowMessage(QMessageBox::Icon icon, const QString& caption, const QString& text);
  void ShowSaveDirError(const std::string& reason);
  // Names |path| when no program opens it.
  void ShowNothingOpens(const QString& path);
  void UpdateAutoConvertLine();

  // Handlers of the worker's reports, run on the window's thread.
  void OnRunPlanned(const RunProgress& progress);
  void OnFileStarted(int index, const std::string& source);
  void OnFileFinished(int index, const FinishedFile& file, const RunProgress& progress);
  void OnWorkerFinished(const RunProgress& progress, bool cancelled);

  RunWorker worker_;

  ConvertForm form_;
  RunProgress progressSoFar_;
  bool timerRun_ = false;
  std::string runError_;  // said after the counts when the run ends
  QString doing_;         // the file handed out last, as the list shows it

  QTimer autoTimer_;
  MessagePresenter presenter_;
  QPointer<QWidget> saveDirErrorBox_;

  QGroupBox* group_ = nullptr;
  QLabel* autoLine_ = nullptr;
  QLineEdit* filterEdit_ = nullptr;
  QLineEdit* sourceEdit_ = nullptr;
  QLineEdit* destinationEdit_ = nullptr;
  BitmapButton* browseSource_ = nullptr;
  BitmapButton* browseDestination_ = nullptr;
  QPushButton* goButton_ = nullptr;
  QPushButton* stopButton_ = nullptr;
  ResultsList* results_ = nullptr;
  PreviewPane* preview_ = nullptr;
  QRect resultsArea_;  // the list's place at the base size; the preview shares it
  AnchoredLayout layout_;
  QSize lastExtra_;
  QProgressBar* progress_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace tamarind::gui
