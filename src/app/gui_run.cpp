#include "app/gui_run.h"

#include <algorithm>

#include "app/conversion_log.h"
#include "app/output_names.h"
#include "platform/paths.h"

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

// The folder of a full path; the root stays the root.
std::string FolderPart(std::string_view path) {
  size_t cut = path.rfind(kSeparator);
  if (cut == std::string_view::npos) return {};
  return std::string(path.substr(0, cut == 0 ? 1 : cut));
}

}  // namespace

std::string DoingText(std::string_view sourcePath) { return "Doing: " + std::string(sourcePath); }

std::string DoneText(int converted) { return "Done. " + std::to_string(converted) + " FAX files converted"; }

std::string GuiReportHeader(std::string_view sourceFolder, std::string_view destination) {
  return "Tamarind in GUI mode : convert folder\r\nSource Folder: " + std::string(sourceFolder) +
         "\r\nDestination Folder: " + std::string(destination) + "\r\n";
}

FileSelection ParseFileSelection(std::string_view sourceText) {
  std::vector<std::string> pieces = SplitPieces(sourceText);
  FileSelection selection;
  if (pieces.empty()) return selection;
  if (pieces.size() == 1) {
    selection.folder = FolderPart(pieces.front());
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

std::string BuildFileList(ConversionJob& job, std::string_view sourceText, const ConversionOptions& options) {
  job.options = options;
  job.files.clear();
  job.walkFailures.clear();
  std::string folder;
  if (options.convertFiles) {
    FileSelection selection = ParseFileSelection(sourceText);
    folder = std::move(selection.folder);
    job.files = std::move(selection.names);
  } else {
    folder = std::string(sourceText);
    job.options.source = folder;  // the walk lists files relative to it
    // An empty folder text would walk the whole file system; Go refuses it.
    if (!folder.empty()) job.CollectFiles(folder, options.includeSubfolders);
  }
  job.options.source = folder;
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

int RunConversion(ConversionJob& job, const RunPlan& plan, const std::atomic<bool>& stop, RunEvents& events) {
  job.options = plan.options;
  const std::string& destination = plan.options.destination;
  if (CreateFolderTree(destination) == 0) events.SaveDirFailed();
  job.SetReport(GuiReportHeader(plan.options.source, destination));
  int converted = 0;
  job.events.started = [&](size_t i, size_t, const FileTask& task) { events.FileStarted(i, task.source); };
  job.events.finished = [&](size_t i, const FileTask& task, const FileOutcome& outcome) {
    FileResult classified = ClassifyResult(outcome.result);
    if (classified == FileResult::Converted) ++converted;
    events.FileFinished(i, classified == FileResult::Converted ? task.output : std::string(), classified);
  };
  job.ConvertListedFiles(&stop);
  job.events = {};
  AppendToLog(plan.logPath, job.GetReport());
  events.RunFinished(converted);
  return converted;
}

int AutoConvertIntervalMs(int minutes) { return kCycleMinutesRange.Clamp(minutes) * 60000; }

std::string HelpDocumentPath(const std::string& modulePath) {
  const std::string stem(WithoutExtension(modulePath));
  for (const char* extension : {".chm", ".html"}) {
    std::string candidate = stem + extension;
    if (platform::IsRegularFile(candidate)) return candidate;
  }
  return {};
}

}  // namespace tamarind
