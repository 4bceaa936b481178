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
#include "platform/paths.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

std::string FolderHeader(const std::string& source, const std::string& destination) {
  return "Tamarind command line mode : convert folder\r\nSource Folder: " + platform::EscapeControlBytes(source) +
         "\r\nSave Folder: " + platform::EscapeControlBytes(destination) + "\r\n";
}

std::string TotalLine(int converted) {
  return "\r\n---------\r\nTotal converted FAX files: " + std::to_string(converted) + "\r\n";
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

}  // namespace

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
  const std::vector<FileOutcome> outcomes = ConvertListedFiles(job);
  const auto converted = std::count_if(outcomes.begin(), outcomes.end(), [](const FileOutcome& outcome) {
    return Classify(outcome) == FileResult::Converted;
  });
  job.report += TotalLine(static_cast<int>(converted));
  return 0;
}

std::vector<FileOutcome> ConvertListedFiles(ConversionJob& job, const std::atomic<bool>* stop) {
  // A folder the walk could not read shows in the report, not only as an
  // empty list.
  for (const std::string& line : job.walkFailures) job.report += line;
  job.walkFailures.clear();
  std::vector<FileTask> tasks;
  tasks.reserve(job.files.size());
  for (const std::string& entry : job.files)
    tasks.push_back({ListedSource(job.options, entry), FolderRunOutput(job.options, entry)});
  ListedFileEvents told;
  if (job.events.started) told.started = [&](size_t i) { job.events.started(i, tasks.size(), tasks[i]); };
  if (job.events.finished)
    told.finished = [&](size_t i, const FileOutcome& outcome) { job.events.finished(i, tasks[i], outcome); };
  const FileConverter convert = job.converter ? job.converter : ConvertListedFile;
  // Opened once for the pass; a destination that cannot be made gives each
  // file its own failure line.
  auto root = platform::OutputFolder::Open(job.options.destination, true);
  job.outputRoot = root ? std::make_shared<const platform::OutputFolder>(std::move(*root)) : nullptr;
  std::vector<FileOutcome> outcomes =
      ConvertInParallel(job, tasks, WorkerCount(job.options.workers), convert, told, stop);
  job.outputRoot = nullptr;
  return outcomes;
}

}  // namespace tamarind
