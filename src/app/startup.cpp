#include "app/startup.h"

#include <algorithm>
#include <string_view>

#include "app/command_line.h"
#include "app/conversion_log.h"
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

}  // namespace

int RunCommandLine(ConversionJob& job) {
  const ConversionOptions& options = job.options;
  if (options.mode == RunMode::Folder) {
    platform::WriteOut("Please Wait...\n");
    job.files.clear();
    job.walkFailures.clear();
    job.CollectFiles(options.source, options.includeSubfolders);
    const bool showProgress = platform::ErrIsTerminal();
    if (showProgress) job.events.started = ShowProgress;
    job.events.finished = [&](size_t, const FileTask&, const FileOutcome& outcome) {
      if (showProgress) ClearProgress();
      TellReason(outcome);
    };
    job.ConvertFolder();
    if (showProgress) ClearProgress();
    job.events = {};
  } else {
    job.SetReport("Tamarind command line mode : convert file\r\n");
    if (job.ConvertFile(options.source, options.destination) == kNotWinFax)
      job.report += "Failed : " + options.source + " - Not WinFax File\r\n";
    TellReason(job.lastOutcome);
  }
  std::string report = job.GetReport();
  AppendToLog(processPaths.logPath, report, processPaths.logPathIsDefault);
  if (!options.quiet) platform::WriteOut(ForConsole(report));
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
