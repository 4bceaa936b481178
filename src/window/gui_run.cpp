#include "window/gui_run.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <filesystem>

#include "batch/convert_folder.h"
#include "convert/conversion_log.h"
#include "faxdoc/format_code.h"
#include "faxdoc/winfax_reader.h"
#include "platform/outcome.h"
#include "platform/paths.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

using platform::IsSeparator;

}  // namespace

std::string DoingText(std::string_view sourcePath) { return "Doing: " + std::string(sourcePath); }

std::string DoneText(const RunProgress& progress, bool cancelled) {
  std::string text = std::string(cancelled ? "Cancelled. " : "Done. ") + std::to_string(progress.converted) +
                     " FAX files converted, " + std::to_string(progress.skipped) + " skipped, " +
                     std::to_string(progress.failures) + " failed";
  if (cancelled) text += ", " + std::to_string(progress.files - progress.filesDone) + " not started";
  return text;
}

std::string OutputCellText(const std::vector<std::string>& outputs, std::string_view destination) {
  if (outputs.empty()) return {};
  std::string text = ShownPath(outputs.front(), destination);
  if (outputs.size() > 1) text += " (+" + std::to_string(outputs.size() - 1) + ")";
  return text;
}

std::string ReasonCellText(std::string_view reason, std::string_view sourcePath, std::string_view destination) {
  const std::string prefix = std::string(sourcePath) + ": ";
  if (!sourcePath.empty() && reason.starts_with(prefix)) return std::string(reason.substr(prefix.size()));
  const size_t colon = reason.find(": ");
  if (colon == std::string_view::npos) return std::string(reason);
  return ShownPath(reason.substr(0, colon), destination) + std::string(reason.substr(colon));
}

std::string OutputsToolTip(const std::vector<std::string>& outputs, size_t most) {
  std::string text;
  for (size_t i = 0; i < outputs.size() && i < most; ++i) text += (i ? "\n" : "") + outputs[i];
  if (outputs.size() > most) text += "\n... " + std::to_string(outputs.size() - most) + " more";
  return text;
}

std::string GuiReportHeader(std::string_view sourceFolder, std::string_view destination) {
  return "Tamarind in GUI mode : convert folder\r\nSource Folder: " + platform::EscapeControlBytes(sourceFolder) +
         "\r\nDestination Folder: " + platform::EscapeControlBytes(destination) + "\r\n";
}

std::string_view ResultText(FileResult result) {
  switch (result) {
    case FileResult::Converted: return "Converted!";
    case FileResult::Skipped: return "Already exist, skipped!";
    case FileResult::NotFax: return "Not WinFax File!";
    case FileResult::Failed: break;
  }
  return "Failed!";
}

std::string ShownPath(std::string_view path, std::string_view folder) {
  while (folder.size() > 1 && IsSeparator(folder.back())) folder.remove_suffix(1);
  if (folder.empty() || !path.starts_with(folder)) return std::string(path);
  std::string_view rest = path.substr(folder.size());
  if (!IsSeparator(folder.back())) {  // anything but the root
    if (rest.empty() || !IsSeparator(rest.front())) return std::string(path);
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

namespace {

// Why |folder| cannot be made, in the words of the system ("out: Not a
// directory").
std::string FolderFailure(const std::string& folder) {
  std::error_code error;
  std::filesystem::create_directories(folder, error);
  // ErrorText, not error.message(): this runs on the worker thread.
  return folder + ": " + (error ? platform::ErrorText(error.value()) : std::string("cannot be created"));
}

void Tally(RunProgress& progress, FileResult result) {
  switch (result) {
    case FileResult::Converted: ++progress.converted; break;
    case FileResult::Skipped: ++progress.skipped; break;
    case FileResult::NotFax:
    case FileResult::Failed: ++progress.failures; break;
  }
}

FinishedFile FinishedFileOf(const FileTask& task, const FileOutcome& outcome) {
  FinishedFile file;
  file.result = Classify(outcome);
  file.outputs = outcome.outputs;
  // A conversion that names no files (a scripted one) wrote its output.
  if (file.outputs.empty() && file.result == FileResult::Converted) file.outputs.push_back(task.output);
  if (IsFailure(file.result)) file.reason = outcome.reason;
  file.header = outcome.header;
  return file;
}

}  // namespace

int RunConversion(ConversionJob& job, const RunPlan& plan, const std::atomic<bool>& stop, RunEvents& events) {
  job.options = plan.options;
  const std::string& destination = plan.options.destination;
  if (CreateFolderTree(destination) == 0) events.SaveDirFailed(FolderFailure(destination));
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
  // Files started and not yet ended, by their index.
  std::vector<bool> open(pages.size(), false);
  job.events.started = [&](size_t i, size_t, const FileTask& task) {
    if (i < open.size()) open[i] = true;
    events.FileStarted(i, task.source);
  };
  job.events.finished = [&](size_t i, const FileTask& task, const FileOutcome& outcome) {
    if (i < open.size()) open[i] = false;
    const FinishedFile file = FinishedFileOf(task, outcome);
    Tally(progress, file.result);
    ++progress.filesDone;
    progress.pagesDone += pages[i];
    progress.unitsDone += std::max(pages[i], 1);
    progress.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    events.FileFinished(i, file, progress);
  };
  ConvertListedFiles(job, &stop);
  job.events = {};
  // A file the stop gave up part-way is told no end by the run, yet its
  // row was started: it ends here, kept out of the counts.
  FinishedFile stopped;
  stopped.reason = "stopped part-way by Cancel; nothing of it was kept";
  for (size_t i = 0; i < open.size(); ++i) {
    if (open[i]) events.FileFinished(i, stopped, progress);
  }
  AppendToLogOrSay(plan.logPath, job.GetReport(), plan.createLogFolders);
  events.RunFinished(progress, stop && progress.filesDone < progress.files);
  return progress.converted;
}

int AutoConvertIntervalMs(int minutes) { return kCycleMinutesRange.Clamp(minutes) * 60000; }

}  // namespace tamarind
