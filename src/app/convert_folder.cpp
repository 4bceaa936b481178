// A folder tree: the walk that lists the WinFax files, then one conversion
// per listed file.
#include <algorithm>
#include <cerrno>

#include "app/conversion_job.h"
#include "app/output_names.h"
#include "app/parallel_run.h"
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
  if (!root.empty() && root.back() != platform::kSeparator) ++skip;
  return path.size() > skip && path.compare(0, root.size(), root) == 0 ? path.substr(skip) : path;
}

// A listed file may be missing (a file list names anything, and a walked
// file may go before its turn) or have no output inside the destination;
// either gets its own line instead of a misleading "Not Fax".
int ConvertListedFile(ConversionJob& worker, const std::string& source, const std::string& output) {
  auto fail = [&](int result, const std::string& line, std::string reason) {
    worker.report += line;
    worker.lastOutcome.reason = std::move(reason);
    ++worker.failures;
    return result;
  };
  const std::string shown = platform::EscapeControlBytes(source);
  if (output.empty())
    return fail(kOutsideDestination, "Failed : " + shown + " - outside the source folder\r\n",
                source + ": outside the source folder, so its output would be outside the destination");
  if (auto status = platform::StatusOf(source); !status && (status.error() == ENOENT || status.error() == ENOTDIR)) {
    const std::string why = platform::ErrorText(status.error());
    return fail(kSourceMissing,
                shown + " --> " + platform::EscapeControlBytes(output) + " : Failed : " + shown + " - " + why + "\r\n",
                status.reason());
  }
  return worker.ConvertFile(source, output);
}

}  // namespace

void ConversionJob::CollectFiles(const std::string& folder, bool walkSubfolders) {
  // An empty folder text would otherwise mean the current folder, or the
  // root when a separator is put in front of the filter.
  if (folder.empty()) return;
  auto entries = platform::ListFolder(folder);
  if (!entries) {
    walkFailures.push_back("Failed to read folder: " + platform::EscapeControlBytes(folder) + " - " +
                           platform::ErrorText(entries.error()) + "\r\n");
    ++failures;
    return;
  }
  using Kind = platform::FolderEntry::Kind;
  for (const platform::FolderEntry& entry : *entries) {
    // The filter also decides which subfolders are entered.
    if (!platform::MatchesWildcard(entry.name, options.filter)) continue;
    std::string path = platform::JoinPath(folder, entry.name);
    if (entry.kind == Kind::Folder) {
      if (walkSubfolders) CollectFiles(path, walkSubfolders);
    } else if (entry.kind == Kind::File) {
      std::string relative = RelativeTo(options.source, path);
      if (FormatCodeFromExtension(relative) == kWinFaxFormat) files.push_back(std::move(relative));
    }
  }
}

int ConversionJob::ConvertFolder() {
  if (options.destination.empty()) return -1;
  SetReport(FolderHeader(options.source, options.destination));
  // A file list may name its files without a source folder.
  if (options.source.empty() && options.filesFrom.empty()) {
    report += "Failed : no source folder given\r\n";
    ++failures;
  }
  const std::vector<FileOutcome> outcomes = ConvertListedFiles();
  const auto converted = std::count_if(outcomes.begin(), outcomes.end(),
                                       [](const FileOutcome& outcome) { return outcome.result == kConverted; });
  report += TotalLine(static_cast<int>(converted));
  return 0;
}

std::vector<FileOutcome> ConversionJob::ConvertListedFiles(const std::atomic<bool>* stop) {
  // A folder the walk could not read shows in the report, not only as an
  // empty list.
  for (const std::string& line : walkFailures) report += line;
  walkFailures.clear();
  std::vector<FileTask> tasks;
  tasks.reserve(files.size());
  for (const std::string& entry : files) {
    // A listed absolute path is the file itself.
    std::string source = entry.starts_with(platform::kSeparator) ? entry : platform::JoinPath(options.source, entry);
    tasks.push_back({std::move(source), FolderRunOutput(options, entry)});
  }
  ListedFileEvents told;
  if (events.started) told.started = [&](size_t i) { events.started(i, tasks.size(), tasks[i]); };
  if (events.finished)
    told.finished = [&](size_t i, const FileOutcome& outcome) { events.finished(i, tasks[i], outcome); };
  const FileConverter convert = converter ? converter : ConvertListedFile;
  // Opened once for the pass; a destination that cannot be made gives each
  // file its own failure line.
  auto root = platform::OutputFolder::Open(options.destination, true);
  outputRoot = root ? std::make_shared<const platform::OutputFolder>(std::move(*root)) : nullptr;
  std::vector<FileOutcome> outcomes =
      ConvertInParallel(*this, tasks, WorkerCount(options.workers), convert, told, stop);
  outputRoot = nullptr;
  return outcomes;
}

}  // namespace tamarind
