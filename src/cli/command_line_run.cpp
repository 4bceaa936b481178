// A command-line run: a single file, a folder pass or a watch, with its
// report, log and JSON report.
#include <algorithm>
#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string_view>

#include "batch/convert_folder.h"
#include "batch/file_list.h"
#include "batch/folder_watch.h"
#include "batch/parallel_run.h"
#include "batch/run_report.h"
#include "cli/command_line.h"
#include "cli/run_files.h"
#include "cli/startup.h"
#include "convert/conversion_log.h"
#include "convert/fax_text.h"
#include "convert/output_names.h"
#include "convert/process.h"
#include "platform/console.h"
#include "platform/interrupt.h"
#include "platform/string_extras.h"
#include "platform/text_spool.h"

namespace tamarind {

namespace {

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

// "[done/total] file" on one terminal line, rewritten in place; with text
// recognition, which takes about a second a page, the pages read so far.
void ShowProgress(size_t index, size_t total, const FileTask& task, int64_t pagesRecognised, bool recognizing) {
  std::string line = "\r\x1b[K[" + std::to_string(index + 1) + "/" + std::to_string(total) + "] ";
  if (recognizing) line += std::to_string(pagesRecognised) + " pages recognised, ";
  platform::WriteErr(line + platform::EscapeControlBytes(task.source));
}

void ClearProgress() { platform::WriteErr("\r\x1b[K"); }

// One line on standard error, its names escaped.
void Complain(std::string_view text) { platform::WriteErr("tamarind: " + platform::EscapeControlBytes(text) + "\n"); }

// The report keeps its fixed texts; why something failed goes here.
void TellReason(const FileOutcome& outcome) {
  if (!outcome.reason.empty()) Complain(outcome.reason);
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

// Opens the run's JSON report into |json| when one is asked for. One that
// cannot be written (an unwritable folder, a device or a descriptor's name)
// is said and fails the run, but stops no conversion: the outputs are
// worth more than their record, and a watch must go on.
void OpenJsonReport(ConversionJob& job, std::optional<JsonReport>& json) {
  if (job.options.reportPath.empty()) return;
  auto report = JsonReport::Open(job.options.reportPath);
  if (report) {
    json.emplace(std::move(*report));
    return;
  }
  Complain("the report cannot be written: " + report.reason());
  ++job.failures;
}

void FinishJsonReport(ConversionJob& job, std::optional<JsonReport>& json, double seconds, const RunEnd& end) {
  if (!json) return;
  if (platform::Status done = json->Finish(seconds, end); !done) {
    Complain("the report cannot be written: " + done.reason());
    ++job.failures;
  }
}

void SayReportLost(ConversionJob& job) {
  platform::WriteErr(std::string("tamarind: the report could not be written to ") +
                     (job.options.reportPath == "-" ? "standard error" : "standard output") + "\n");
  ++job.failures;
}

// The report goes to the log and, unless quiet, to the user. Either one
// failing is said on standard error and fails the run; neither stops the
// other.
void Tell(ConversionJob& job) {
  if (!AppendToLogOrSay(processPaths.logPath, job.report, processPaths.logPathIsDefault)) ++job.failures;
  if (!job.options.quiet && !HumanOutput(job.options)(ForConsole(job.report))) SayReportLost(job);
}

// The same for a report gathered in |spool|, piece by piece.
void Tell(ConversionJob& job, const platform::TextSpool& spool) {
  if (!AppendToLogOrSay(processPaths.logPath, spool, processPaths.logPathIsDefault)) ++job.failures;
  if (job.options.quiet) return;
  const Say say = HumanOutput(job.options);
  // A CR LF may fall across two pieces: a piece's last CR waits for the
  // next.
  std::string carried;
  platform::Status told = spool.ForEachPiece([&](std::string_view piece) -> platform::Status {
    std::string text = std::move(carried) + std::string(piece);
    carried.clear();
    if (text.ends_with('\r')) {
      text.pop_back();
      carried = "\r";
    }
    if (!say(ForConsole(text))) return platform::Failure{"lost"};
    return {};
  });
  if (!told || (!carried.empty() && !say(carried))) SayReportLost(job);
}

// The files of a folder run: the list given, or the walk; then the run's
// shard of them. False when the walk could not read a folder.
bool ListFolderRun(ConversionJob& job, std::vector<std::string>& files) {
  const ConversionOptions& options = job.options;
  // A file list kept only its shard as it was read.
  const bool walk = options.filesFrom.empty();
  if (walk) {
    job.files.clear();
    CollectFiles(job, options.source, options.includeSubfolders);
  }
  files = std::move(job.files);
  job.files.clear();
  if (walk) KeepShard(files, static_cast<uint64_t>(options.shardIndex), static_cast<uint64_t>(options.shardCount));
  return job.walkFailures.empty();
}

// The report's last line when a signal ended the pass: a cancelled cluster
// job must not look like a finished one.
std::string InterruptedLine(int signal, size_t done, size_t listed) {
  return "Interrupted by " + SignalName(signal) + ": " + std::to_string(done) + " of " + std::to_string(listed) +
         " files done\r\n";
}

// A pass's report past this size moves to a temporary file: the report of
// a million files is 300 MB, which memory need not hold, and a walk of
// 20,000 files should cost little more than one of 2,000.
constexpr size_t kReportInMemory = size_t{64} << 10;

// What else is done as each file of a pass is finished: |index| in the
// pass's list.
using FileFinished = std::function<void(size_t index, const FileOutcome& outcome)>;

// One folder pass over |files|: converts them (no further file once a
// signal came), then logs and tells the report.
void RunFolderPass(ConversionJob& job, std::vector<std::string> files, const FileFinished& alsoFinished = {}) {
  platform::TextSpool report(processPaths.tempFolder, kReportInMemory);
  const auto start = std::chrono::steady_clock::now();
  std::optional<JsonReport> json;
  OpenJsonReport(job, json);
  const size_t listed = files.size();
  size_t done = 0;
  job.files = std::move(files);
  const bool showProgress = platform::ErrIsTerminal();
  int64_t pagesRecognised = 0;
  if (showProgress) {
    job.events.started = [&](size_t index, size_t total, const FileTask& task) {
      ShowProgress(index, total, task, pagesRecognised, job.options.recognizeText);
    };
  }
  job.events.finished = [&](size_t index, const FileTask& task, const FileOutcome& outcome) {
    if (alsoFinished) alsoFinished(index, outcome);
    if (showProgress) ClearProgress();
    ++done;
    pagesRecognised += outcome.pagesRecognised;
    TellReason(outcome);
    if (json) json->Add(task.source, outcome);
    if (job.report.size() > kReportInMemory) {
      report.Append(job.report);
      job.report.clear();
    }
  };
  ConvertFolder(job);
  if (showProgress) ClearProgress();
  job.events = {};
  job.files.clear();
  const RunEnd end{done == listed, platform::InterruptSignal()};
  if (end.signal != 0) job.report += InterruptedLine(end.signal, done, listed);
  FinishJsonReport(job, json, SecondsSince(start), end);
  report.Append(job.report);
  job.report.clear();
  Tell(job, report);
}

// The output is named as given, whatever its extension says: "/sf=x.pdf"
// without "/fmt=pdf" writes JPEG. An extension of another format is most
// likely a forgotten /fmt=, so it is said before anything is written.
void WarnOfForeignExtension(const ConversionOptions& options) {
  constexpr std::pair<std::string_view, OutputFormat> kExtensions[] = {{".jpg", OutputFormat::Jpeg},
                                                                       {".jpeg", OutputFormat::Jpeg},
                                                                       {".pdf", OutputFormat::Pdf},
                                                                       {".tif", OutputFormat::Tiff},
                                                                       {".tiff", OutputFormat::Tiff}};
  const std::string_view name = LastComponent(options.destination);
  const std::string_view extension = name.substr(WithoutExtension(name).size());
  for (const auto& [known, format] : kExtensions)
    if (format != options.format && platform::EqualsIgnoringCase(extension, known))
      Complain(options.destination + ": written as " + std::string(OutputFormatName(options.format)) +
               ", not as its name says; /fmt=" + std::string(OutputFormatName(format)) + " writes that format");
}

void RunSingleFile(ConversionJob& job) {
  const ConversionOptions& options = job.options;
  const auto start = std::chrono::steady_clock::now();
  WarnOfForeignExtension(options);
  // One fax: the workers /j= asks for besides this thread read its pages.
  job.spareWorkers = std::make_shared<SpareWorkers>();
  job.spareWorkers->Give(static_cast<int>(WorkerCount(options)) - 1);
  std::optional<JsonReport> json;
  OpenJsonReport(job, json);
  job.SetReport("Tamarind command line mode : convert file\r\n");
  if (job.ConvertFile(options.source, options.destination) == kNotWinFax)
    job.report += "Failed : " + platform::EscapeControlBytes(options.source) + " - Not WinFax File\r\n";
  TellReason(job.lastOutcome);
  if (json) json->Add(options.source, job.lastOutcome);
  // A signal during the one file stops it between pages (its line then says
  // so) and the run is reported as interrupted.
  FinishJsonReport(job, json, SecondsSince(start), RunEnd{true, platform::InterruptSignal()});
  Tell(job);
}

// What a later pass of a watch knows of |pass|'s earlier conversions.
std::shared_ptr<const EarlierConversions> EarlierOf(const ConversionOptions& options, const FolderWatch& watch,
                                                    const WatchPass& pass) {
  auto earlier = std::make_shared<EarlierConversions>();
  for (const std::string& entry : pass.files) {
    if (pass.again.contains(entry)) earlier->again.insert(ListedSource(options, entry));
    if (const uint32_t pages = watch.PagesConverted(entry); pages > 0)
      earlier->pages.emplace(ListedSource(options, entry), pages);
  }
  return earlier;
}

// The settled files of the first listing are converted, then the rescans
// begin. Ctrl-C or SIGTERM ends the watch after the files in progress: the
// pass is reported and logged, and the program ends as usual.
void RunWatch(ConversionJob& job, std::vector<std::string> firstFiles) {
  FolderWatch watch;
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
  steps.pass = [&](WatchPass pass, bool first) {
    // Later passes convert what changed since the watch saw it. A file new
    // to the watch keeps the skip rule (an output newer than the fax was
    // made from it elsewhere); a file this watch knew whose identity
    // changed is converted whatever its time.
    if (!first) {
      job.options.skipExisting = true;
      job.converter = WatchConverter(EarlierOf(job.options, watch, pass));
    }
    const std::vector<std::string> entries = pass.files;
    RunFolderPass(job, std::move(pass.files), [&](size_t index, const FileOutcome& outcome) {
      if (Classify(outcome) == FileResult::Converted && job.options.format == OutputFormat::Jpeg)
        watch.Converted(entries[index], static_cast<uint32_t>(std::max(outcome.pages, 0)));
    });
    job.converter = nullptr;
  };
  WatchFolder(watch, job.options.source, std::chrono::seconds(job.options.watchSeconds), platform::InterruptRequested,
              steps, std::move(firstFiles));
}

// Text recognition needs its data; without it nothing is converted,
// rather than a whole archive without its text.
bool RecognitionReady(const ConversionOptions& options) {
  platform::Status ready = TextRecognitionReady(options);
  if (!ready) Complain(ready.reason());
  return ready.ok();
}

// A report or log named after an input or an output of the run is refused
// as a switch is, before anything is written.
bool RunFilesAllowed(const ConversionOptions& options, std::span<const std::string> files) {
  platform::Status allowed = CheckRunFiles(options, files, processPaths.logPathIsDefault ? "" : processPaths.logPath);
  if (allowed) return true;
  platform::WriteErr("tamarind: " + allowed.reason() + "\n");
  platform::WriteErr(UsageText());
  return false;
}

}  // namespace

int RunCommandLine(ConversionJob& job) {
  if (!RecognitionReady(job.options)) return kExitFailures;
  // From here a signal is only recorded: no further file starts, the files
  // in progress end whole or not at all, and the run is reported.
  platform::InstallInterruptHandlers(platform::OnInterrupt::kRecord);
  const ConversionOptions& options = job.options;
  if (options.mode == RunMode::Folder) {
    std::vector<std::string> files;
    ListFolderRun(job, files);
    if (!RunFilesAllowed(options, files)) return kExitUsage;
    HumanOutput(options)("Please Wait...\n");
    if (options.watchSeconds > 0) {
      RunWatch(job, std::move(files));
      return job.failures == 0 ? kExitConverted : kExitFailures;
    }
    RunFolderPass(job, std::move(files));
  } else {
    if (!RunFilesAllowed(options, {})) return kExitUsage;
    RunSingleFile(job);
  }
  // Whoever sent the signal learns that it ended the run.
  platform::EndProcessWithPendingSignal();
  return job.failures == 0 ? kExitConverted : kExitFailures;
}

}  // namespace tamarind
