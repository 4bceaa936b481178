// One conversion run: its options, paths, file list and report text.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion_options.h"
#include "convert/file_outcome.h"
#include "convert/spare_workers.h"
#include "ocr/ocr_engine.h"
#include "platform/output_folder.h"
#include "platform/system_calls.h"
#include "platform/temp_file.h"

namespace tamarind {

// Creates |path| with every missing ancestor; non-zero when the folder
// exists afterwards. The working directory is left alone.
int CreateFolderTree(const std::string& path);

// One file of a folder run and the output it is named into.
struct FileTask {
  std::string source;
  std::string output;
};

// Told on the thread that runs a folder pass, in list order: |started|
// when file |index| of |total| is handed to a worker, |finished| once its
// share of the report has been added. Either may be empty.
struct FolderRunEvents {
  std::function<void(size_t index, size_t total, const FileTask& task)> started;
  std::function<void(size_t index, const FileTask& task, const FileOutcome& outcome)> finished;
};

// What a parse of the command line found wrong: switches refused (the
// parse then returns kParseRefused) and warnings about values it replaced.
struct ParseDiagnostics {
  std::vector<std::string> refusals;
  std::vector<std::string> warnings;
};

class ConversionJob;
// Converts one file of a folder pass with a worker's own job: what it
// appends to that job's report and the outcome it returns are the file's
// share of the run.
using FileConverter =
    std::function<FileOutcome(ConversionJob& worker, const std::string& source, const std::string& output)>;

class ConversionJob {
 public:
  ConversionJob();
  ~ConversionJob();
  ConversionJob(const ConversionJob&) = delete;
  ConversionJob& operator=(const ConversionJob&) = delete;

  ConversionOptions options;
  std::string report;
  std::vector<std::string> files;  // relative to |source|

  // Files and folders that failed since the last Reset, counted for the
  // exit status: each file whose outcome Classify calls a failure, and
  // what failed around the files (a folder the walk could not read).
  int failures = 0;
  // Report lines for folders the walk could not read; ConvertFolder puts
  // them under its header and empties the list.
  std::vector<std::string> walkFailures;
  // Optional; ConvertFolder tells them how far the pass has come.
  FolderRunEvents events;
  // Converts each file of a folder pass; empty for ConvertFile, which then
  // converts after checking that the file is there and has an output.
  // Tests put slow or scripted conversions here.
  FileConverter converter;
  // The destination folder of a folder pass, held open: outputs below it
  // are made through this handle. Null outside a pass, or when the folder
  // cannot be opened (outputs are then made by their paths).
  std::shared_ptr<const platform::OutputFolder> outputRoot;
  // The system calls every output is written with; null: the system's
  // own. Tests count or fail them here (what /sync asks is unseen
  // otherwise).
  const platform::SystemCalls* systemCalls = nullptr;
  // The caller's stop during a folder pass (null outside one). Once it is
  // set, or a signal came, the file in progress is abandoned between pages
  // and inside recognition (kStopped).
  const std::atomic<bool>* stop = nullptr;
  bool StopRequested() const;
  // Removes |path|, an output this program named, when it is a regular
  // file; through outputRoot when it lies below it, so no link planted on
  // the way is followed. A name not there is no failure.
  platform::Status RemoveOutput(const std::string& path) const;
  // What the last ConvertFile call did, filled whole by it.
  FileOutcome lastOutcome;
  // The run's workers left over (null: none): a PDF or TIFF with text
  // recognition borrows them to read several of its pages at once.
  std::shared_ptr<SpareWorkers> spareWorkers;
  // What the last ParseCommandLine or ParseArguments call found wrong.
  ParseDiagnostics parseDiagnostics;

  void Reset();
  void SetReport(std::string_view text);
  std::string GetReport() const;

  // Converts one file into one JPEG per page, or one PDF or TIFF; 0 when
  // every page was written, 1 skipped, negative on failure (see the
  // report). Fills lastOutcome and counts a failed file in |failures|.
  // Everything it touches is this job's own (options, report, temporary
  // BMP), so jobs on different threads may convert at the same time.
  int ConvertFile(const std::string& sourcePath, const std::string& destinationPath);
  // True when |path| is a file that can be read and is not empty.
  static bool OutputExists(const std::string& path);
  // Copies the access and modification times of |sourcePath| onto
  // |outputPath|: 0 done, -1 source unreadable, -2 output not settable.
  int CopyFileTimes(const std::string& sourcePath, const std::string& outputPath);

 private:
  // The private temporary BMP of this job, made on first use.
  platform::Expected<platform::PrivateTempFile*> TempBmp();
  // This job's text recognition engine for options.ocrLanguages, made on
  // first use (loading the language data takes a moment, so each worker
  // makes one and keeps it); a failure is kept and given again.
  platform::Expected<ocr::OcrEngine*> TextRecognizer();
  // |count| more engines like it, for borrowed workers, made on first use
  // and kept; fewer when they cannot be made.
  std::vector<ocr::OcrEngine*> HelperRecognizers(int count);

  // ConvertFile past the format check and the report line's prefix.
  int ConvertNamedFile(const std::string& sourcePath, const std::string& destinationPath);

  class FileConversion;

  std::unique_ptr<platform::PrivateTempFile> tempBmp_;
  std::optional<ocr::OcrEngine> ocrEngine_;
  std::string ocrLanguages_;                     // what |ocrEngine_| reads
  std::optional<platform::Failure> ocrFailure_;  // why it could not be made, once tried
  std::vector<ocr::OcrEngine> helperEngines_;    // for |ocrLanguages_| too
};

}  // namespace tamarind
