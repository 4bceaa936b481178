// What the window's Convert tab does, without the window: reading its
// source text, listing the files, naming the outputs and running the
// conversion loop that the worker thread executes.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "app/conversion_job.h"
#include "app/front_settings.h"

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
FileResult ClassifyResult(int convertResult);
std::string_view ResultText(FileResult result);

// How the loop reports; called on the thread that runs it.
class RunEvents {
 public:
  virtual ~RunEvents() = default;
  virtual void SaveDirFailed() = 0;
  virtual void FileStarted(size_t index, const std::string& sourcePath) = 0;
  // |outputPath| is empty unless the file was converted.
  virtual void FileFinished(size_t index, const std::string& outputPath, FileResult result) = 0;
  // After the report went to the log.
  virtual void RunFinished(int converted) = 0;
};

// Converts the job's listed files with the plan's options (the job's
// converter on each worker), handing out no further file once |stop| is
// set; events, report and results still come in list order. Appends the
// report to the log. Returns the number converted.
int RunConversion(ConversionJob& job, const RunPlan& plan, const std::atomic<bool>& stop, RunEvents& events);

// The timer period in milliseconds for a period typed in minutes, held to
// 1 .. 35791 minutes (the most a millisecond timer counts).
int AutoConvertIntervalMs(int minutes);

// The help document beside the executable: the ".chm" named after it when
// there is one, else the HTML manual named after it ("" when neither
// exists).
std::string HelpDocumentPath(const std::string& modulePath);

}  // namespace tamarind
