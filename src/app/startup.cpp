#include "app/startup.h"

#include <signal.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <optional>
#include <string_view>

#include "app/command_line.h"
#include "app/conversion_log.h"
#include "app/file_list.h"
#include "app/folder_watch.h"
#include "app/run_report.h"
#include "app/process.h"
#include "platform/console.h"
#include "platform/interrupt.h"
#include "platform/memory.h"
#include "platform/paths.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

bool IsHelpSwitch(std::string_view a) { return a == "/?" || a == "-h" || a == "--help"; }

// The report's lines end in CR LF (as in the log); a terminal or a script
// on this system wants plain line feeds.
std::string ForConsole(std::string_view report) {
  std::string text;
  text.reserve(report.size());
  for (size_t i = 0; i < report.size(); ++i) {
    if (report[i] == '\r' && i + 1 < report.size() && report[i + 1] == '\n') continue;
    text += report[i];
  }
  return text;
}

// "[done/total] file" on one terminal line, rewritten in place.
void ShowProgress(size_t index, size_t total, const FileTask& task) {
  platform::WriteErr("\r\x1b[K[" + std::to_string(index + 1) + "/" + std::to_string(total) + "] " +
                     platform::EscapeControlBytes(task.source));
}

void ClearProgress() { platform::WriteErr("\r\x1b[K"); }

// The report keeps its fixed texts; why something failed goes here.
void TellReason(const FileOutcome& outcome) {
  if (!outcome.reason.empty()) platform::WriteErr("tamarind: " + platform::EscapeControlBytes(outcome.reason) + "\n");
}

// Where the human report and its progress go: standard error when the JSON
// report takes standard output.
using Say = bool (*)(std::string_view);
Say HumanOutput(const ConversionOptions& options) {
  return options.reportPath == "-" ? platform::WriteErr : platform::WriteOut;
}

double SecondsSince(std::chrono::steady_clock::time_point start) {
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Opens the run's JSON report into |json| when one is asked for. False
// (said, and counted as a failure) when it cannot be written: the run then
// converts nothing rather than work without the record it was asked for.
bool OpenJsonReport(ConversionJob& job, std::optional<JsonReport>& json) {
  if (job.options.reportPath.empty()) return true;
  auto report = JsonReport::Open(job.options.reportPath);
  if (report) {
    json.emplace(std::move(*report));
    return true;
  }
  platform::WriteErr("tamarind: the report cannot be written: " + platform::EscapeControlBytes(report.reason()) + "\n");
  ++job.failures;
  return false;
}

void FinishJsonReport(ConversionJob& job, std::optional<JsonReport>& json, double seconds) {
  if (!json) return;
  if (platform::Status done = json->Finish(seconds); !done) {
    platform::WriteErr("tamarind: the report cannot be written: " + platform::EscapeControlBytes(done.reason()) + "\n");
    ++job.failures;
  }
}

// The report goes to the log and, unless quiet, to the user.
void Tell(const ConversionJob& job) {
  std::string report = job.GetReport();
  AppendToLog(processPaths.logPath, report, processPaths.logPathIsDefault);
  if (!job.options.quiet) HumanOutput(job.options)(ForConsole(report));
}

// The files of a folder run: the list given, or the walk; then the run's
// shard of them. False when the walk could not read a folder.
bool ListFolderRun(ConversionJob& job, std::vector<std::string>& files) {
  const ConversionOptions& options = job.options;
  if (options.filesFrom.empty()) {
    job.files.clear();
    job.CollectFiles(options.source, options.includeSubfolders);
  }
  files = std::move(job.files);
  job.files.clear();
  KeepShard(files, static_cast<uint64_t>(options.shardIndex), static_cast<uint64_t>(options.shardCount));
  return job.walkFailures.empty();
}

// One folder pass over |files|: converts them (no further file once
// |*stop| is set), then logs and tells the report.
void RunFolderPass(ConversionJob& job, std::vector<std::string> files, const std::atomic<bool>* stop) {
  const auto start = std::chrono::steady_clock::now();
  std::optional<JsonReport> json;
  if (!OpenJsonReport(job, json)) return;
  job.files = std::move(files);
  const bool showProgress = platform::ErrIsTerminal();
  if (showProgress) job.events.started = ShowProgress;
  job.events.finished = [&](size_t, const FileTask& task, const FileOutcome& outcome) {
    if (showProgress) ClearProgress();
    TellReason(outcome);
    if (json) json->Add(task.source, outcome);
  };
  job.ConvertFolder(stop);
  if (showProgress) ClearProgress();
  job.events = {};
  job.files.clear();
  FinishJsonReport(job, json, SecondsSince(start));
  Tell(job);
}

void RunSingleFile(ConversionJob& job) {
  const ConversionOptions& options = job.options;
  const auto start = std::chrono::steady_clock::now();
  std::optional<JsonReport> json;
  if (!OpenJsonReport(job, json)) return;
  job.SetReport("Tamarind command line mode : convert file\r\n");
  const int result = job.ConvertFile(options.source, options.destination);
  if (result == kNotWinFax) job.report += "Failed : " + options.source + " - Not WinFax File\r\n";
  TellReason(job.lastOutcome);
  if (json) {
    FileOutcome outcome = job.lastOutcome;
    outcome.result = result;
    outcome.failures = job.failures;
    outcome.seconds = SecondsSince(start);
    json->Add(options.source, outcome);
  }
  FinishJsonReport(job, json, SecondsSince(start));
  Tell(job);
}

// ---- Signals reach a watch here, and only here ----------------------------
//
// SIGINT and SIGTERM only ask the watch to stop: the files in progress are
// finished and the pass is reported, so nothing is left behind. (SIGHUP
// keeps the handler that removes unfinished outputs.)

std::atomic<bool> watchStopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

extern "C" void RequestWatchStop(int) { watchStopRequested.store(true); }

const std::atomic<bool>& StopWatchOnSignals() {
  for (int signal : {SIGINT, SIGTERM}) {
    struct sigaction current {};
    // A signal the caller ignores (a background job's SIGINT) stays ignored.
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction handler {};
    handler.sa_handler = RequestWatchStop;
    sigemptyset(&handler.sa_mask);
    sigaction(signal, &handler, nullptr);
  }
  return watchStopRequested;
}

// ---------------------------------------------------------------------------

void RunWatch(ConversionJob& job) {
  const std::atomic<bool>& stop = StopWatchOnSignals();
  WatchSteps steps;
  steps.list = [&](std::vector<std::string>& files) {
    job.walkFailures.clear();
    if (ListFolderRun(job, files)) return true;
    // A share that is briefly away is not a folder of new files: the scan
    // is left out, and the watch keeps what it knew.
    for (const std::string& line : job.walkFailures) platform::WriteErr("tamarind: " + ForConsole(line));
    job.walkFailures.clear();
    return false;
  };
  steps.pass = [&](std::vector<std::string> files, bool first) {
    // Later passes convert what changed; the skip rule decides, so a file
    // touched but not changed is not converted again.
    if (!first) job.options.skipExisting = true;
    RunFolderPass(job, std::move(files), &stop);
  };
  WatchFolder(job.options.source, std::chrono::seconds(job.options.watchSeconds), stop, steps);
}

}  // namespace

int RunCommandLine(ConversionJob& job) {
  const ConversionOptions& options = job.options;
  if (options.mode == RunMode::Folder) {
    HumanOutput(options)("Please Wait...\n");
    if (options.watchSeconds > 0) {
      RunWatch(job);
    } else {
      std::vector<std::string> files;
      ListFolderRun(job, files);
      RunFolderPass(job, std::move(files), nullptr);
    }
  } else {
    RunSingleFile(job);
  }
  return job.failures == 0 ? kExitConverted : kExitFailures;
}

int RunProgram(std::span<const std::string> arguments, const FrontEnd& frontEnd) {
  if (std::any_of(arguments.begin(), arguments.end(), [](const std::string& a) { return IsHelpSwitch(a); })) {
    platform::WriteOut(HelpText());
    return 0;
  }
  if (std::any_of(arguments.begin(), arguments.end(), [](const std::string& a) { return a == "--version"; })) {
    platform::WriteOut(std::string(kVersionText) + "\n");
    return 0;
  }

  platform::ReturnFreedPageMemory();
  platform::RemoveUnfinishedOutputsOnInterrupt();
  processPaths = BuildProcessPaths(platform::ModulePath());
  conversionSettings = ConversionSettings{};

  int result;
  {
    ConversionJob job;
    job.Reset();
    conversionSettings.lineMode = 1;
    result = job.ParseArguments(arguments);
    for (const std::string& warning : job.parseDiagnostics.warnings) platform::WriteErr("tamarind: " + warning + "\n");
    if (result == kParseRefused) {
      for (const std::string& refusal : job.parseDiagnostics.refusals) platform::WriteErr("tamarind: " + refusal + "\n");
      platform::WriteErr(UsageText());
      return kExitUsage;
    }
    if (result == 0) return RunCommandLine(job);
  }
  // Anything but a valid command line opens the window; what the parse
  // stored in the settings and the log path stays.
  if (!frontEnd) {
    platform::WriteErr("tamarind: this build has no window; convert with /f= and /sf=, or /d= and /sd= (see --help)\n");
    return kExitNoFrontEnd;
  }
  return frontEnd();
}

}  // namespace tamarind
