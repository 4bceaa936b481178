// The "Convert" tab: source, destination and filter, "&Go" and "&Cancel",
// the results list, progress bar and status line, the worker thread that
// converts, and the automatic-conversion timer (id 7).
#pragma once

#include <windows.h>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "convert/conversion_job.h"
#include "win32/dialog.h"
#include "window/convert_form.h"
#include "window/file_selection.h"
#include "window/front_settings.h"
#include "window/gui_run.h"

namespace tamarind::win32 {

class ConvertPage : public ModelessDialog {
 public:
  ConvertPage() = default;
  ~ConvertPage() override;

  // Creates the page (hidden) as a child of |parent|, with the source and
  // destination of section "Main".
  bool Create(HWND parent, const MainFields& fields);

  // The options of the Options tab, copied when the Convert tab is shown.
  void SetOptions(const ConversionOptions& options);
  bool Running() const { return worker_.Running(); }
  // Cancel, as its button does.
  void Cancel() { OnCancel(); }
  // Members to controls (true) or back (false).
  void ExchangeFields(bool toControls);
  // A fax or folder the window was asked to open.
  void TakeSource(const DroppedSource& source);
  // Stops the worker after its current file and waits for it.
  void StopAndWait() { worker_.StopAndWait(); }
  void Save(ProfileFile& profile);

 private:
  class WorkerReports;

  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam) override;
  void Initialise();
  bool OnCommand(int id, int code);
  void OnGo();
  void OnTimer();
  void StartRun(bool byTimer);
  void SetRunControls(bool running);
  void EndRun();
  void OnCancel();
  void OnBrowseSource();
  void OnBrowseDestination();
  // Worker reports reach the page as functions run on its thread.
  void Post(std::function<void()> report);
  void RunPosted();
  void AddRow(int index, const std::string& source);
  void FinishRow(int index, const FinishedFile& file, const RunProgress& progress);
  void OnRunFinished(const RunProgress& progress, bool cancelled);

  ConvertForm form_;
  std::string shownDestination_;
  std::vector<std::string> sources_;  // the full source path of each row
  RunProgress progress_;
  RunWorker worker_;
  std::mutex reportsMutex_;
  std::deque<std::function<void()>> reports_;
};

}  // namespace tamarind::win32
