#include "window/gui_run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>

#include "batch/convert_folder.h"
#include "convert/conversion_log.h"
#include "convert/output_names.h"
#include "faxdoc/format_code.h"
#include "faxdoc/winfax_reader.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

using platform::kSeparator;

bool HasBlank(std::string_view text) { return text.find(' ') != std::string_view::npos; }

std::string Quoted(std::string_view piece) {
  if (!HasBlank(piece) && !piece.empty() && piece.front() != '"') return std::string(piece);
  return "\"" + std::string(piece) + "\"";
}

// Blank-separated pieces; a double quote starts or ends a stretch in which
// blanks belong to the piece.
std::vector<std::string> SplitPieces(std::string_view text) {
  std::vector<std::string> pieces;
  size_t i = 0;
  while (i < text.size()) {
    if (text[i] == ' ') {
      ++i;
      continue;
    }
    std::string piece;
    bool quoted = false;
    for (; i < text.size() && (quoted || text[i] != ' '); ++i) {
      if (text[i] == '"') quoted = !quoted;
      else piece += text[i];
    }
    pieces.push_back(std::move(piece));
  }
  return pieces;
}

}  // namespace

std::string DoingText(std::string_view sourcePath) { return "Doing: " + std::string(sourcePath); }

std::string DoneText(int converted) { return "Done. " + std::to_string(converted) + " FAX files converted"; }

std::string GuiReportHeader(std::string_view sourceFolder, std::string_view destination) {
  return "Tamarind in GUI mode : convert folder\r\nSource Folder: " + platform::EscapeControlBytes(sourceFolder) +
         "\r\nDestination Folder: " + platform::EscapeControlBytes(destination) + "\r\n";
}

FileSelection ParseFileSelection(std::string_view sourceText) {
  std::vector<std::string> pieces = SplitPieces(sourceText);
  FileSelection selection;
  if (pieces.empty()) return selection;
  if (pieces.size() == 1) {
    selection.folder = std::string(platform::FolderOf(pieces.front()));
    selection.names.emplace_back(LastComponent(pieces.front()));
    return selection;
  }
  selection.folder = std::move(pieces.front());
  selection.names.assign(std::make_move_iterator(pieces.begin() + 1), std::make_move_iterator(pieces.end()));
  return selection;
}

std::string FormatFileSelection(std::string_view folder, std::span<const std::string> names) {
  if (names.size() == 1) return Quoted(platform::JoinPath(folder, names.front()));
  std::string text = Quoted(folder);
  for (const std::string& name : names) text += " " + Quoted(name);
  return text;
}

DroppedSource SourceFromDrop(std::span<const std::string> paths) {
  if (paths.size() == 1 && platform::IsFolder(paths.front())) return {false, paths.front()};
  std::string folder;
  std::vector<std::string> names;
  for (const std::string& path : paths) {
    if (FormatCodeFromExtension(path) != kWinFaxFormat || !platform::IsRegularFile(path)) continue;
    const std::string_view from = platform::FolderOf(path);
    if (names.empty()) folder = std::string(from);
    else if (from != folder) continue;  // one folder per source text
    names.emplace_back(LastComponent(path));
  }
  if (names.empty()) return {};
  return {true, FormatFileSelection(folder, names)};
}

std::string BuildFileList(ConversionJob& job, std::string_view sourceText, const ConversionOptions& options) {
  job.options = options;
  job.files.clear();
  job.walkFailures.clear();
  std::string& folder = job.options.source;
  if (options.convertFiles) {
    FileSelection selection = ParseFileSelection(sourceText);
    folder = std::move(selection.folder);
    job.files = std::move(selection.names);
  } else {
    folder = std::string(sourceText);
    // An empty folder text would walk the whole file system; Go refuses it.
    if (!folder.empty()) CollectFiles(job, folder, options.includeSubfolders);
  }
  return folder;
}

FileResult ClassifyResult(int convertResult) {
  switch (convertResult) {
    case kConverted: return FileResult::Converted;
    case kSkipped: return FileResult::Skipped;
    case kNotWinFax:
    case kNotFax: return FileResult::NotWinFax;
    default: return FileResult::Failed;
  }
}

std::string_view ResultText(FileResult result) {
  switch (result) {
    case FileResult::Converted: return "Converted!";
    case FileResult::Skipped: return "Already exist, skipped!";
    case FileResult::NotWinFax: return "Not WinFax File!";
    case FileResult::Failed: break;
  }
  return "Failed!";
}

std::string ShownPath(std::string_view path, std::string_view folder) {
  while (folder.size() > 1 && folder.back() == kSeparator) folder.remove_suffix(1);
  if (folder.empty() || !path.starts_with(folder)) return std::string(path);
  std::string_view rest = path.substr(folder.size());
  if (folder.back() != kSeparator) {  // anything but the root
    if (rest.empty() || rest.front() != kSeparator) return std::string(path);
    rest.remove_prefix(1);
  }
  return std::string(rest.empty() ? path : rest);
}

int CountFaxPages(const std::string& path) {
  // The reader refuses pipes and devices without waiting on them.
  if (FormatCodeFromExtension(path) != kWinFaxFormat) return 0;
  WinFaxReader reader;
  if (!reader.Open(path)) return 0;
  return reader.CountPages();
}

double RunProgress::SecondsLeft() const {
  if (unitsDone <= 0 || seconds <= 0) return -1;
  return seconds * static_cast<double>(units - unitsDone) / static_cast<double>(unitsDone);
}

std::string TimeLeftText(double seconds) {
  if (seconds < 60) {
    // Steps of five seconds: the estimate is not finer than that.
    const int rounded = std::max(5, static_cast<int>(std::ceil(seconds / 5)) * 5);
    return "about " + std::to_string(rounded) + " s left";
  }
  const long minutes = std::lround(seconds / 60);
  if (minutes < 90) return "about " + std::to_string(minutes) + " min left";
  return "about " + std::to_string(minutes / 60) + " h " + std::to_string(minutes % 60) + " min left";
}

std::string ProgressText(const RunProgress& progress) {
  std::string text = std::to_string(progress.filesDone) + " of " + std::to_string(progress.files) + " files, " +
                     std::to_string(progress.pagesDone) + " of " + std::to_string(progress.pages) + " pages, " +
                     std::to_string(progress.failures) + " failed";
  if (const double left = progress.SecondsLeft(); left >= 0) text += ", " + TimeLeftText(left);
  return text;
}

std::string RunningText(const RunProgress& progress, std::string_view sourceShown) {
  return ProgressText(progress) + ". " + DoingText(sourceShown);
}

namespace {

// Each listed file's weight in the progress: its pages, at least one. Stops
// counting (and the run stops anyway) once |stop| is set.
std::vector<int> PageCounts(const ConversionJob& job, const std::atomic<bool>& stop) {
  std::vector<int> pages;
  pages.reserve(job.files.size());
  for (const std::string& file : job.files)
    pages.push_back(stop ? 0 : CountFaxPages(platform::JoinPath(job.options.source, file)));
  return pages;
}

}  // namespace

int RunConversion(ConversionJob& job, const RunPlan& plan, const std::atomic<bool>& stop, RunEvents& events) {
  job.options = plan.options;
  const std::string& destination = plan.options.destination;
  if (CreateFolderTree(destination) == 0) events.SaveDirFailed();
  job.SetReport(GuiReportHeader(plan.options.source, destination));

  const std::vector<int> pages = PageCounts(job, stop);
  RunProgress progress;
  progress.files = pages.size();
  for (int count : pages) {
    progress.pages += count;
    progress.units += std::max(count, 1);
  }
  events.RunPlanned(progress);

  using Clock = std::chrono::steady_clock;
  const Clock::time_point start = Clock::now();
  int converted = 0;
  job.events.started = [&](size_t i, size_t, const FileTask& task) { events.FileStarted(i, task.source); };
  job.events.finished = [&](size_t i, const FileTask& task, const FileOutcome& outcome) {
    FinishedFile file;
    file.result = ClassifyResult(outcome.result);
    if (file.result == FileResult::Converted) {
      ++converted;
      file.output = task.output;
    }
    if (!outcome.outputs.empty()) file.firstOutput = outcome.outputs.front();
    else if (file.result == FileResult::Converted) file.firstOutput = task.output;
    if (file.result == FileResult::NotWinFax || file.result == FileResult::Failed) ++progress.failures;
    ++progress.filesDone;
    progress.pagesDone += pages[i];
    progress.unitsDone += std::max(pages[i], 1);
    progress.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    events.FileFinished(i, file, progress);
  };
  ConvertListedFiles(job, &stop);
  job.events = {};
  AppendToLogOrSay(plan.logPath, job.GetReport(), plan.createLogFolders);
  events.RunFinished(converted);
  return converted;
}

int AutoConvertIntervalMs(int minutes) { return kCycleMinutesRange.Clamp(minutes) * 60000; }

const std::string_view kInstalledManual = TAMARIND_INSTALLED_MANUAL;

platform::Expected<std::string> HelpDocumentPath(const std::string& modulePath, std::string_view installedManual) {
  const std::string stem(WithoutExtension(modulePath));
  for (const char* extension : {".chm", ".html"}) {
    std::string candidate = stem + extension;
    if (platform::IsRegularFile(candidate)) return candidate;
  }
  const std::filesystem::path folder(platform::FolderOf(modulePath));
  std::string installed = (folder / installedManual).lexically_normal().string();
  if (platform::IsRegularFile(installed)) return installed;
  return platform::Failure{"Help file not found: " + installed};
}

}  // namespace tamarind
