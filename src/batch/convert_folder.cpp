// A folder tree: the walk that lists the WinFax files, then one conversion
// per listed file.
#include <algorithm>
#include <cerrno>

#include "batch/convert_folder.h"

#include "batch/parallel_run.h"
#include "convert/conversion_job.h"
#include "convert/output_names.h"
#include "faxdoc/format_code.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "platform/paths.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

std::string FolderHeader(const std::string& source, const std::string& destination) {
  return "Tamarind command line mode : convert folder\r\nSource Folder: " + platform::EscapeControlBytes(source) +
         "\r\nSave Folder: " + platform::EscapeControlBytes(destination) + "\r\n";
}

// |path| relative to |root|, for a |path| that the walk built under it.
std::string RelativeTo(const std::string& root, const std::string& path) {
  size_t skip = root.size();
  if (!root.empty() && !platform::IsSeparator(root.back())) ++skip;
  return path.size() > skip && path.compare(0, root.size(), root) == 0 ? path.substr(skip) : path;
}

// A file the pass could not hand to ConvertFile, with its own line.
FileOutcome NotConverted(ConversionJob& worker, int result, const std::string& line, std::string reason) {
  worker.report += line;
  FileOutcome outcome = FileOutcome::Of(result);
  outcome.reason = std::move(reason);
  return outcome;
}

}  // namespace

// A listed file may be missing (a file list names anything, and a walked
// file may go before its turn) or have no output inside the destination;
// either gets its own line instead of a misleading "Not Fax".
FileOutcome ConvertListedFile(ConversionJob& worker, const std::string& source, const std::string& output) {
  const std::string shown = platform::EscapeControlBytes(source);
  if (output.empty())
    return NotConverted(worker, kOutsideDestination, "Failed : " + shown + " - outside the source folder\r\n",
                        source + ": outside the source folder, so its output would be outside the destination");
  if (auto status = platform::StatusOf(source); !status && (status.error() == ENOENT || status.error() == ENOTDIR)) {
    const std::string why = platform::ErrorText(status.error());
    return NotConverted(
        worker, kSourceMissing,
        shown + " --> " + platform::EscapeControlBytes(output) + " : Failed : " + shown + " - " + why + "\r\n",
        status.reason());
  }
  worker.ConvertFile(source, output);
  return std::move(worker.lastOutcome);
}

std::string FolderTotalLine(size_t converted) {
  return "\r\n---------\r\nTotal converted FAX files: " + std::to_string(converted) + "\r\n";
}

void CollectFiles(ConversionJob& job, const std::string& folder, bool walkSubfolders) {
  // An empty folder text would otherwise mean the current folder, or the
  // root when a separator is put in front of the filter.
  if (folder.empty()) return;
  auto entries = platform::ListFolder(folder);
  if (!entries) {
    job.walkFailures.push_back("Failed to read folder: " + platform::EscapeControlBytes(folder) + " - " +
                               platform::ErrorText(entries.error()) + "\r\n");
    ++job.failures;
    return;
  }
  using Kind = platform::FolderEntry::Kind;
  for (const platform::FolderEntry& entry : *entries) {
    // The filter also decides which subfolders are entered.
    if (!platform::MatchesWildcard(entry.name, job.options.filter)) continue;
    std::string path = platform::JoinPath(folder, entry.name);
    if (entry.kind == Kind::Folder) {
      if (walkSubfolders) CollectFiles(job, path, walkSubfolders);
    } else if (entry.kind == Kind::File) {
      std::string relative = RelativeTo(job.options.source, path);
      if (FormatCodeFromExtension(relative) == kWinFaxFormat) job.files.push_back(std::move(relative));
    }
  }
}

std::string ListedSource(const ConversionOptions& options, std::string_view entry) {
  // A listed absolute path is the file itself.
  return platform::RootLength(entry) > 0 ? std::string(entry) : platform::JoinPath(options.source, entry);
}

int ConvertFolder(ConversionJob& job) {
  if (job.options.destination.empty()) return -1;
  job.SetReport(FolderHeader(job.options.source, job.options.destination));
  // A file list may name its files without a source folder.
  if (job.options.source.empty() && job.options.filesFrom.empty()) {
    job.report += "Failed : no source folder given\r\n";
    ++job.failures;
  }
  job.report += FolderTotalLine(ConvertListedFiles(job));
  return 0;
}

namespace {

// Files are converted in batches of this many, so that what a pass holds
// for its files (their sources and outputs, the order files that could
// write the same name must keep, the outcomes not yet told) is one batch's
// however long the list. A batch ends with its last file before the next
// starts, which also keeps that order across batches; the workers wait
// for the slowest file once every 4,096.
constexpr size_t kFilesPerBatch = 4096;

bool Stopped(const std::atomic<bool>* stop) { return (stop && stop->load()) || platform::InterruptRequested(); }

FileTask TaskOf(const ConversionOptions& options, const std::string& entry) {
  return {ListedSource(options, entry), FolderRunOutput(options, entry)};
}

}  // namespace

size_t ConvertListedFiles(ConversionJob& job, const std::atomic<bool>* stop) {
  // A folder the walk could not read shows in the report, not only as an
  // empty list.
  for (const std::string& line : job.walkFailures) job.report += line;
  job.walkFailures.clear();
  const FileConverter convert = job.converter ? job.converter : ConvertListedFile;
  const unsigned workers = WorkerCount(job.options);
  // Opened once for the pass; a destination that cannot be made gives each
  // file its own failure line.
  auto root = platform::OutputFolder::Open(job.options.destination, true);
  job.outputRoot = root ? std::make_shared<const platform::OutputFolder>(std::move(*root)) : nullptr;
  const size_t total = job.files.size();
  size_t converted = 0;
  std::vector<FileTask> tasks;
  for (size_t first = 0; first < total && !Stopped(stop); first += kFilesPerBatch) {
    tasks.clear();
    for (size_t i = first; i < std::min(total, first + kFilesPerBatch); ++i)
      tasks.push_back(TaskOf(job.options, job.files[i]));
    ListedFileEvents told;
    if (job.events.started) told.started = [&](size_t i) { job.events.started(first + i, total, tasks[i]); };
    if (job.events.finished)
      told.finished = [&](size_t i, const FileOutcome& outcome) { job.events.finished(first + i, tasks[i], outcome); };
    for (const FileOutcome& outcome : ConvertInParallel(job, tasks, workers, convert, told, stop))
      converted += Classify(outcome) == FileResult::Converted ? 1 : 0;
  }
  job.outputRoot = nullptr;
  return converted;
}

}  // namespace tamarind
