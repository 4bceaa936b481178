#include "cli/startup.h"

#include <algorithm>
#include <filesystem>
#include <string_view>

#include "cli/command_line.h"
#include "cli/info_run.h"
#include "cli/thumbnail_run.h"
#include "convert/process.h"
#include "faxdoc/format_code.h"
#include "platform/console.h"
#include "platform/interrupt.h"
#include "platform/memory.h"
#include "platform/paths.h"

namespace tamarind {

namespace {

bool IsHelpSwitch(std::string_view a) { return a == "/?" || a == "-h" || a == "--help"; }

// Commands of their own, named by the first argument; each takes the
// arguments after it.
struct Command {
  std::string_view name;
  int (*run)(std::span<const std::string> arguments);
};

constexpr Command kCommands[] = {
    {kThumbnailSwitch, RunThumbnail},
    {kInfoSwitch, RunInfo},
};

void PrepareProcess() {
  platform::ReturnFreedPageMemory();
  // A closed standard output or a file-size limit must not end the run;
  // the writes that meet them fail instead, with their reason.
  platform::IgnoreWriteSignals();
  // Outputs have no name until they are complete, so a signal may end the
  // process at once until a run starts polling for it.
  platform::InstallInterruptHandlers(platform::OnInterrupt::kRecordAndEnd);
}

}  // namespace

std::string FileToOpen(std::span<const std::string> arguments) {
  if (arguments.size() != 1 || IsSwitch(arguments.front())) return {};
  const std::string& path = arguments.front();
  if (FormatCodeFromExtension(path) != kWinFaxFormat || !platform::IsRegularFile(path)) return {};
  std::error_code error;
  std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? std::string() : absolute.lexically_normal().string();
}

int RunProgram(std::span<const std::string> arguments, const FrontEnd& frontEnd) {
  for (const Command& command : kCommands) {
    if (arguments.empty() || arguments.front() != command.name) continue;
    PrepareProcess();
    return command.run(arguments.subspan(1));
  }
  if (std::any_of(arguments.begin(), arguments.end(), [](const std::string& a) { return IsHelpSwitch(a); })) {
    platform::WriteOut(HelpText());
    return 0;
  }
  if (std::any_of(arguments.begin(), arguments.end(), [](const std::string& a) { return a == "--version"; })) {
    platform::WriteOut(std::string(kVersionText) + "\n");
    return 0;
  }

  PrepareProcess();
  processPaths = BuildProcessPaths(platform::ModulePath());
  conversionSettings = ConversionSettings{};

  // A desktop opens a fax with the program ("Open with"): the window
  // comes up with that file as its source, without a usage text.
  const std::string fileToOpen = FileToOpen(arguments);
  if (fileToOpen.empty()) {
    ConversionJob job;
    job.Reset();
    conversionSettings.lineMode = 1;
    const int result = ParseArguments(job, arguments);
    for (const std::string& warning : job.parseDiagnostics.warnings) platform::WriteErr("tamarind: " + warning + "\n");
    if (result == kParseRefused) {
      for (const std::string& refusal : job.parseDiagnostics.refusals)
        platform::WriteErr("tamarind: " + refusal + "\n");
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
  return frontEnd(fileToOpen);
}

}  // namespace tamarind
