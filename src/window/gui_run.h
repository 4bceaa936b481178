// What the window's Convert tab does, without the window: its texts, the
// results and progress of a run, and the conversion loop that the worker
// thread executes. Its source text and file list are file_selection.h's,
// the manual Help opens is help.h's.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion_job.h"
#include "window/front_settings.h"

namespace tamarind {

inline constexpr std::string_view kFirstStatusText = "It's a GOOD idea to backup your fax files, and NEVER delete them";
inline constexpr std::string_view kStopWaitMessage = "Please wait while running conversion stops";
inline constexpr std::string_view kNoSourceMessage =
    "Select Source Dir,\nwhere your fax files to be converted should be";
inline constexpr std::string_view kSaveDirErrorMessage = "Error Save Dir";

std::string DoingText(std::string_view sourcePath);
std::string GuiReportHeader(std::string_view sourceFolder, std::string_view destination);

// Everything a run needs, copied when it starts so that nothing the user
// does meanwhile changes it: the options with the source folder, the
// destination and skipExisting (runs started by the timer) filled in.
struct RunPlan {
  ConversionOptions options;
  std::string logPath;
  // The default log's folder is made with its parents (a fresh account has
  // none of them); a folder the user named, only its last level.
  bool createLogFolders = true;
};

// The results list's word for a file Classify judged so: "Converted!",
// "Already exist, skipped!", "Not WinFax File!" or "Failed!".
std::string_view ResultText(FileResult result);

// |path| as the results list shows it: relative to |folder| when it lies
// below it, else whole.
std::string ShownPath(std::string_view path, std::string_view folder);

// The pages of the WinFax file at |path| (a walk of its page headers, no
// decoding); 0 when it is no WinFax file or cannot be read.
int CountFaxPages(const std::string& path);

// How far a run has come. Work is counted in pages, found before the run
// starts, so that a 50-page fax weighs as much as 50 one-page faxes; a file
// without pages (not a fax, unreadable) counts as one.
struct RunProgress {
  size_t files = 0;
  size_t filesDone = 0;
  int64_t pages = 0;  // pages of the listed files
  int64_t pagesDone = 0;
  int64_t units = 0;  // the work in all, and done: pages, at least one a file
  int64_t unitsDone = 0;
  int converted = 0;
  int skipped = 0;
  int failures = 0;    // files failed or refused so far
  double seconds = 0;  // since the first file was handed out

  // The time the rest should take at the pace so far; negative while
  // there is no pace yet.
  double SecondsLeft() const;
};

// "3 of 80 files, 12 of 240 pages, 1 failed, about 2 min left"; the time
// is left out until it can be estimated.
std::string ProgressText(const RunProgress& progress);
// "about 40 s left", "about 3 min left", "about 2 h 5 min left".
std::string TimeLeftText(double seconds);
// The status line while a run converts: the progress, then the file
// handed out last ("... 1 failed. Doing: sub/a.fxd").
std::string RunningText(const RunProgress& progress, std::string_view sourceShown);

// The status line once a run has ended: "Done. 6 FAX files converted, 1
// skipped, 2 failed"; a run stopped by Cancel starts "Cancelled." and says
// how many files it did not start.
std::string DoneText(const RunProgress& progress, bool cancelled);

// What became of one file of a run.
struct FinishedFile {
  FileResult result = FileResult::Failed;
  std::vector<std::string> outputs;  // the files written, page 1 first
  std::string reason;                // why it failed, as the JSON report says it; "" otherwise
  std::string header;                // the first page header's text, as the JSON report says it
};

// The output cell of a row: the first file written, relative to
// |destination|, and how many more there are ("multipage001.jpg (+2)");
// "" when nothing was written.
std::string OutputCellText(const std::vector<std::string>& outputs, std::string_view destination);
// The reason cell of a failed row: |reason| without the leading source
// path or destination folder the row already shows; whole in the tooltip.
std::string ReasonCellText(std::string_view reason, std::string_view sourcePath, std::string_view destination);
// Its tooltip: every file written, one a line; past |most| lines, how many
// more there are.
std::string OutputsToolTip(const std::vector<std::string>& outputs, size_t most = 20);

// How the loop reports; called on the thread that runs it.
class RunEvents {
 public:
  virtual ~RunEvents() = default;
  // The destination folder cannot be made, for |reason| ("PATH: cause").
  virtual void SaveDirFailed(const std::string& reason) = 0;
  // The pages are counted, the first file is about to start.
  virtual void RunPlanned(const RunProgress& progress) = 0;
  virtual void FileStarted(size_t index, const std::string& sourcePath) = 0;
  virtual void FileFinished(size_t index, const FinishedFile& file, const RunProgress& progress) = 0;
  // After the report went to the log; |cancelled| when |stop| ended the
  // run before every file was handed out.
  virtual void RunFinished(const RunProgress& progress, bool cancelled) = 0;
};

// Counts the pages of the job's listed files, then converts them with the
// plan's options (the job's converter on each worker), handing out no
// further file once |stop| is set; events, report and results still come
// in list order. Appends the report to the log. Returns the number
// converted.
int RunConversion(ConversionJob& job, const RunPlan& plan, const std::atomic<bool>& stop, RunEvents& events);

// The timer period in milliseconds for a period typed in minutes, held to
// 1 .. 35791 minutes (the most a millisecond timer counts).
int AutoConvertIntervalMs(int minutes);

}  // namespace tamarind
