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
// files, or the WinFax files of the folder walk. Returns the source folder
// ("" when the text names none).
std::string BuildFileList(ConversionJob& job, std::string_view sourceText, const ConvertOptions& options);

// Everything a run needs, copied when it starts so that nothing the user
// does meanwhile changes it.
struct RunPlan {
  ConvertOptions options;
  std::string sourceFolder;
  std::string destination;
  std::string logPath;
  bool skipExisting = false;  // runs started by the timer
};

std::string SourcePathFor(const RunPlan& plan, std::string_view entry);
// The JPEG name of one source file: its extension (in its own name only)
// replaced or kept, under the destination, below the same subfolders when
// the hierarchy is kept.
std::string OutputPathFor(const RunPlan& plan, std::string_view sourcePath);

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

using FileConverter = std::function<int(ConversionJob&, const std::string& source, const std::string& output)>;
// ConversionJob::ConvertFile.
FileConverter DefaultConverter();

// Converts the job's listed files one by one, stopping between files once
// |stop| is set; appends the report to the log. Returns the number
// converted.
int RunConversion(ConversionJob& job, const RunPlan& plan, const std::atomic<bool>& stop, RunEvents& events,
                  const FileConverter& convert);

// The timer period in milliseconds for a period typed in minutes, held to
// 1 .. 35791 minutes (the most a millisecond timer counts).
int AutoConvertIntervalMs(int minutes);

// The help document beside the executable: the ".chm" named after it when
// there is one, else the HTML manual named after it ("" when neither
// exists).
std::string HelpDocumentPath(const std::string& modulePath);

}  // namespace tamarind
