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

// "[done/total] file" on one terminal line, rewritten in place and cleared
// at the end.
void ShowProgress(size_t done, size_t total, std::string_view current) {
  std::string line = "\r\x1b[K";
  if (done < total) line += "[" + std::to_string(done + 1) + "/" + std::to_string(total) + "] " + std::string(current);
  platform::WriteErr(line);
}

}  // namespace

int RunCommandLine(ConversionJob& job) {
  if (job.mode == static_cast<int32_t>(RunMode::Folder)) {
    platform::WriteOut("Please Wait...\n");
    job.files.clear();
    job.walkFailures.clear();
    job.CollectFiles(job.source, job.includeSubfolders);
    if (platform::ErrIsTerminal()) job.progress = ShowProgress;
    job.ConvertFolder();
    job.progress = nullptr;
  } else {
    job.SetReport("Tamarind command line mode : convert file\r\n");
    if (job.ConvertFile(job.source, job.destination) == kNotWinFax)
      job.report += "Failed : " + job.source + " - Not WinFax File\r\n";
  }
  std::string report = job.GetReport();
  AppendToLog(processPaths.logPath, report, processPaths.logPathIsDefault);
  if (!job.quiet) platform::WriteOut(ForConsole(report));
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
