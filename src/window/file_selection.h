// The source of the window's "Convert File(s)": the text that names a folder
// and files in it, what a drop on the window makes of paths, and the job's
// file list filled from either kind of source.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "convert/conversion_job.h"

namespace tamarind {

// A source text of the "Convert File(s)" kind: a folder and names in it,
// separated by blanks. A piece in double quotes may hold blanks; a text of
// one piece is the full path of one file.
struct FileSelection {
  std::string folder;
  std::vector<std::string> names;
};
FileSelection ParseFileSelection(std::string_view sourceText);
// The text that ParseFileSelection reads back as |folder| and |names|;
// pieces with blanks are quoted, others are written as they are.
std::string FormatFileSelection(std::string_view folder, std::span<const std::string> names);

// What a drop of |paths| on the window gives: one folder becomes the source
// folder; WinFax files (judged by name) become the source of "Convert
// File(s)", those in the folder of the first one, written as
// FormatFileSelection writes them. Anything else gives nothing
// (sourceText empty).
struct DroppedSource {
  bool files = false;  // "Convert File(s)"; otherwise a folder
  std::string sourceText;
};
DroppedSource SourceFromDrop(std::span<const std::string> paths);

// Fills the job's file list and source from the source text: the named
// files (options.convertFiles), or the WinFax files of the folder walk
// that match options.filter. Returns the source folder ("" when the text
// names none).
std::string BuildFileList(ConversionJob& job, std::string_view sourceText, const ConversionOptions& options);

}  // namespace tamarind
