#include "app/gui_run.h"

#include <algorithm>

#include "app/conversion_log.h"
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

std::string_view NamePart(std::string_view path) {
  size_t cut = path.rfind(kSeparator);
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
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
    selection.names.emplace_back(NamePart(pieces.front()));
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

std::string BuildFileList(ConversionJob& job, std::string_view sourceText, const ConvertOptions& options) {
  job.files.clear();
  std::string folder;
  if (options.convertFiles != 0) {
    FileSelection selection = ParseFileSelection(sourceText);
    folder = std::move(selection.folder);
    job.files = std::move(selection.names);
  } else {
    folder = std::string(sourceText);
    job.source = folder;
    job.walkFailures.clear();
    // An empty folder text would walk the whole file system; Go refuses it.
    if (!folder.empty()) job.CollectFiles(folder, options.includeSubfolders);
  }
  job.source = folder;
  return folder;
}

std::string SourcePathFor(const RunPlan& plan, std::string_view entry) {
  return platform::JoinPath(plan.sourceFolder, entry);
}

std::string OutputPathFor(const RunPlan& plan, std::string_view sourcePath) {
  std::string output(sourcePath);
  if (plan.options.keepExtension == 0) {
    size_t nameStart = output.size() - NamePart(output).size();
    size_t dot = output.rfind('.');
    if (dot != std::string::npos && dot > nameStart) output.resize(dot);
  }
  output += ".jpg";
  std::string_view relative = NamePart(output);
  if (plan.options.keepHierarchy != 0 && output.starts_with(plan.sourceFolder)) {
    relative = std::string_view(output).substr(plan.sourceFolder.size());
    while (!relative.empty() && relative.front() == kSeparator) relative.remove_prefix(1);
  }
  return platform::JoinPath(plan.destination, relative);
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

FileConverter DefaultConverter() {
  return [](ConversionJob& job, const std::string& source, const std::string& output) {
    return job.ConvertFile(source, output);
  };
}

int RunConversion(ConversionJob& job, const RunPlan& plan, const std::atomic<bool>& stop, RunEvents& events,
                  const FileConverter& convert) {
  job.keepDate = plan.options.keepDate == 1 ? 1 : 0;
  job.optimize = plan.options.optimize == 1 ? 1 : 0;
  job.quality = plan.options.quality;
  job.skipExisting = plan.skipExisting ? 1 : 0;
  job.destination = plan.destination;
  if (CreateFolderTree(plan.destination) == 0) events.SaveDirFailed();
  job.SetReport(GuiReportHeader(plan.sourceFolder, plan.destination));
  // A folder the walk could not read shows in the log, not only as an
  // empty list.
  for (const std::string& line : job.walkFailures) job.report += line;
  job.walkFailures.clear();

  int converted = 0;
  for (size_t i = 0; i < job.files.size() && !stop.load(); ++i) {
    std::string source = SourcePathFor(plan, job.files[i]);
    std::string output = OutputPathFor(plan, source);
    events.FileStarted(i, source);
    FileResult result = ClassifyResult(convert(job, source, output));
    if (result == FileResult::Converted) ++converted;
    events.FileFinished(i, result == FileResult::Converted ? output : std::string(), result);
  }
  AppendToLog(plan.logPath, job.GetReport());
  events.RunFinished(converted);
  return converted;
}

int AutoConvertIntervalMs(int minutes) { return std::clamp(minutes, 1, 35791) * 60000; }

std::string HelpDocumentPath(const std::string& modulePath) {
  size_t nameStart = modulePath.size() - NamePart(modulePath).size();
  size_t dot = modulePath.rfind('.');
  std::string stem = dot != std::string::npos && dot > nameStart ? modulePath.substr(0, dot) : modulePath;
  for (const char* extension : {".chm", ".html"}) {
    std::string candidate = stem + extension;
    if (platform::IsRegularFile(candidate)) return candidate;
  }
  return {};
}

}  // namespace tamarind
