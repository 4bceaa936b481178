// One conversion run: its options, paths, file list and report text.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/temp_file.h"

namespace tamarind {

enum class RunMode : int32_t { None = 0, Folder = 1, SingleFile = 2 };

// Results of ConversionJob::ConvertFile.
inline constexpr int kConverted = 0;
inline constexpr int kSkipped = 1;
inline constexpr int kNotWinFax = -1;
inline constexpr int kFolderNotCreated = -2;
inline constexpr int kOutputIsSource = -3;
inline constexpr int kNotFax = -5;
inline constexpr int kJpegFailed = -7;
inline constexpr int kException = -9;

// Creates |path| with every missing ancestor; non-zero when the folder
// exists afterwards. The working directory is left alone.
int CreateFolderTree(const std::string& path);

// Told before each file of a folder pass (|done| of |total|, the file about
// to be converted) and once more at the end with |done| == |total|.
using ProgressHook = std::function<void(size_t done, size_t total, std::string_view current)>;

class ConversionJob {
 public:
  ConversionJob();
  ~ConversionJob();
  ConversionJob(const ConversionJob&) = delete;
  ConversionJob& operator=(const ConversionJob&) = delete;

  uint8_t keepDate = 0;
  uint8_t quiet = 0;
  uint8_t keepExtension = 0;
  uint8_t optimize = 0;
  int32_t includeSubfolders = 0;
  int32_t keepHierarchy = 0;
  int32_t mode = 0;  // a RunMode value
  int32_t quality = 0;
  int32_t skipExisting = 0;
  std::string filter;
  std::string source;
  std::string destination;
  std::string report;
  std::vector<std::string> files;  // relative to |source|

  // Files and folders that failed since the last Reset, counted for the
  // exit status; a failure never changes what ConvertFile returns.
  int failures = 0;
  // Report lines for folders the walk could not read; ConvertFolder puts
  // them under its header and empties the list.
  std::vector<std::string> walkFailures;
  // Optional; ConvertFolder tells it how far the pass has come.
  ProgressHook progress;

  void Reset();
  void SetReport(std::string_view text);
  std::string GetReport() const;

  // The command line as one text (nullopt: there was none). 0 valid; -1 no
  // text; -2 empty text; 126 no destination switch or empty destination.
  int ParseCommandLine(std::optional<std::string_view> text);
  // The same for arguments already split by the shell, one token each.
  int ParseArguments(std::span<const std::string> arguments);

  // Converts one file into one JPEG per page; 0 converted, 1 skipped,
  // negative on failure (see the report). Everything it touches is this
  // job's own (options, report, temporary BMP), so jobs on different
  // threads may convert at the same time.
  int ConvertFile(std::string sourcePath, std::string destinationPath);
  // True when |path| is a file that can be read and is not empty.
  static bool OutputExists(const std::string& path);
  // Copies the access and modification times of |sourcePath| onto
  // |outputPath|: 0 done, -1 source unreadable, -2 output not settable.
  int CopyFileTimes(const std::string& sourcePath, const std::string& outputPath);

  // Appends the WinFax files under |folder| that match |filter| to |files|.
  void CollectFiles(const std::string& folder, int32_t includeSubfolders);
  // Converts every listed file; -1 without a destination, else 0.
  int ConvertFolder();

 private:
  // The private temporary BMP of this job, made on first use.
  platform::PrivateTempFile* TempBmp();

  class FileConversion;

  std::unique_ptr<platform::PrivateTempFile> tempBmp_;
};

}  // namespace tamarind
