// What the window's Convert tab does, without the window: reading its
// source text, listing the files, naming the outputs and running the
// conversion loop that the worker thread executes.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/conversion_job.h"
#include "app/front_settings.h"
#include "platform/outcome.h"

namespace tamarind {

inline constexpr std::string_view kFirstStatusText = "It's a GOOD idea to backup your fax files, and NEVER delete them";
inline constexpr std::string_view kStopWaitMessage = "Please wait while running conversion stops";
inline constexpr std::string_view kNoSourceMessage = "Select Source Dir,\nwhere your fax files to be converted should be";
inline constexpr std::string_view kNoDestinationMessage = "Select Save Dir,\nwhere your converted jpg files should be";
inline constexpr std::string_view kSaveDirErrorMessage = "Error Save Dir";

std::string DoingText(std::string_view sourcePath);
std::string DoneText(int converted);
std::string GuiReportHeader(std::string_view sourceFolder, std::string_view destination);

// A source text of the "Convert File(s)" kind: a folder and names in it,
// separated by blanks. A piece in double quotes may hold blanks; a text of
// one piece is the full path of one file.
struct FileSelection {
  std::string folder;
  std::vector<std::string> names;
};
FileSelection ParseFileSelection(std::string_view sourceText);
// The text that ParseFileSelection reads back as |folder| and |names|;
// pieces with blanks are quoted, others are written as they are.
std::string FormatFileSelection(std::string_view folder, std::span<const std::string> names);

// What a drop of |paths| on the window gives: one folder becomes the source
// folder; WinFax files (judged by name) become the source of "Convert
// File(s)", those in the folder of the first one, written as
// FormatFileSelection writes them. Anything else gives nothing
// (sourceText empty).
struct DroppedSource {
  bool files = false;  // "Convert File(s)"; otherwise a folder
  std::string sourceText;
};
DroppedSource SourceFromDrop(std::span<const std::string> paths);

// Fills the job's file list and source from the source text: the named
// files (options.convertFiles), or the WinFax files of the folder walk
// that match options.filter. Returns the source folder ("" when the text
// names none).
std::string BuildFileList(ConversionJob& job, std::string_view sourceText, const ConversionOptions& options);

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

enum class FileResult { Converted, Skipped, NotWinFax, Failed };
inline constexpr FileResult kAllFileResults[] = {FileResult::Converted, FileResult::Skipped, FileResult::NotWinFax,
                                                 FileResult::Failed};
FileResult ClassifyResult(int convertResult);
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

// What became of one file of a run.
struct FinishedFile {
  FileResult result = FileResult::Failed;
  std::string output;       // the output name; empty unless converted
  std::string firstOutput;  // the first file written (page 1); empty when none
};

// How the loop reports; called on the thread that runs it.
class RunEvents {
 public:
  virtual ~RunEvents() = default;
  virtual void SaveDirFailed() = 0;
  // The pages are counted, the first file is about to start.
  virtual void RunPlanned(const RunProgress& progress) = 0;
  virtual void FileStarted(size_t index, const std::string& sourcePath) = 0;
  virtual void FileFinished(size_t index, const FinishedFile& file, const RunProgress& progress) = 0;
  // After the report went to the log.
  virtual void RunFinished(int converted) = 0;
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

// Where the installed HTML manual lies, relative to the executable's
// folder ("../share/tamarind/manual.html"); the build sets it from its
// install folders, so an installed tree can be moved as a whole.
extern const std::string_view kInstalledManual;

// The manual Help opens. Beside the executable when the program runs from
// a folder of its own (portable, or the build tree): the ".chm" named after
// it, else the HTML manual named after it. Otherwise the installed manual,
// |installedManual| from the executable's folder. Fails with "Help file not
// found: PATH", PATH being the installed manual's place, when none exists.
platform::Expected<std::string> HelpDocumentPath(const std::string& modulePath,
                                                 std::string_view installedManual = kInstalledManual);

}  // namespace tamarind
