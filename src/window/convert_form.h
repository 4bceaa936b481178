// The Convert tab's fields and how a run starts from them, for either
// window: the Qt and the Win32 page show these texts, copy what the user
// typed back, and forward Go and the timer here.
#pragma once

#include <atomic>
#include <memory>
#include <string>
#include <thread>

#include "convert/conversion_job.h"
#include "window/front_settings.h"
#include "window/gui_run.h"

namespace tamarind {

struct ConvertForm {
  ConversionJob job;
  ConversionOptions options = PageOptions::PageDefaults();
  std::string filterText = "*.*";
  std::string sourceText;
  std::string destinationText;
  std::string statusText;
  // The folder the source text named when the list was last made: the
  // results show their paths relative to it.
  std::string sourceFolder;

  // Fills the job's file list from the texts (call it with everything typed
  // so far copied in, the filter included: a run started by the timer or a
  // shortcut must not use stale fields). True when a run can start: a
  // source folder and a destination are named.
  bool PrepareFileList();

  // Prepares the list for Go: "" when a run can start, else the warning to
  // show: one runs already, no source, no destination, or the text
  // recognition's data is missing (every page would fail its text).
  std::string GoRefusal(bool running);

  // What the run about to start does: a run started by the timer skips
  // the outputs that exist.
  RunPlan Plan(bool byTimer) const;
};

// The thread a window's run goes on, one run at a time: the page starts
// it, forwards Stop, and calls Finished() when the run's last report has
// reached the window.
class RunWorker {
 public:
  RunWorker() = default;
  RunWorker(const RunWorker&) = delete;
  RunWorker& operator=(const RunWorker&) = delete;
  ~RunWorker() { StopAndWait(); }

  bool Running() const { return running_; }
  // Runs |plan| over the job's list on a new thread (the last one joined
  // first), reporting to |events|, which the thread owns.
  void Start(ConversionJob& job, RunPlan plan, std::unique_ptr<RunEvents> events);
  // The run hands out no further file; the one in progress is finished,
  // never cut short, and the last reports still arrive.
  void RequestStop();
  // Stops after the file in progress and waits for the thread.
  void StopAndWait();
  // The run has ended: the thread is joined and the next may start.
  void Finished();

 private:
  void Join();

  std::atomic<bool> running_{false};
  std::atomic<bool> stopRequested_{false};
  std::thread thread_;
};

}  // namespace tamarind
