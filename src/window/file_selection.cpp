#include "window/file_selection.h"

#include "batch/convert_folder.h"
#include "convert/output_names.h"
#include "faxdoc/format_code.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace tamarind {

namespace {

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

}  // namespace tamarind
