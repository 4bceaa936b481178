// A folder tree: the walk that lists the WinFax files, then one conversion
// per listed file.
#include <cstdio>

#include "app/conversion_job.h"
#include "app/output_names.h"
#include "faxdoc/format_code.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace tamarind {

namespace {

std::string FolderHeader(const std::string& source, const std::string& destination) {
  return "Tamarind command line mode : convert folder\r\nSource Folder: " + source + "\r\nSave Folder: " +
         destination + "\r\n";
}

std::string TotalLine(int converted) {
  return "\r\n---------\r\nTotal converted FAX files: " + std::to_string(converted) + "\r\n";
}

// |path| relative to |root|, for a |path| that the walk built under it.
std::string RelativeTo(const std::string& root, const std::string& path) {
  size_t skip = root.size();
  if (!root.empty() && root.back() != platform::kSeparator) ++skip;
  return path.size() > skip && path.compare(0, root.size(), root) == 0 ? path.substr(skip) : path;
}

}  // namespace

void ConversionJob::CollectFiles(const std::string& folder, int32_t walkSubfolders) {
  // An empty folder text would otherwise mean the current folder, or the
  // root when a separator is put in front of the filter.
  if (folder.empty()) return;
  std::string why;
  auto entries = platform::ListFolder(folder, &why);
  if (!entries) {
    walkFailures.push_back("Failed to read folder: " + folder + " - " + why + "\r\n");
    ++failures;
    return;
  }
  using Kind = platform::FolderEntry::Kind;
  for (const platform::FolderEntry& entry : *entries) {
    // The filter also decides which subfolders are entered.
    if (!platform::MatchesWildcard(entry.name, filter)) continue;
    std::string path = platform::JoinPath(folder, entry.name);
    if (entry.kind == Kind::Folder) {
      if (walkSubfolders) CollectFiles(path, walkSubfolders);
    } else if (entry.kind == Kind::File) {
      std::string relative = RelativeTo(source, path);
      if (FormatCodeFromExtension(relative) == kWinFaxFormat) files.push_back(std::move(relative));
    }
  }
}

int ConversionJob::ConvertFolder() {
  if (destination.empty()) return -1;
  SetReport(FolderHeader(source, destination));
  skipExisting = 0;
  if (source.empty()) {
    report += "Failed : no source folder given\r\n";
    ++failures;
  }
  for (const std::string& line : walkFailures) report += line;
  walkFailures.clear();

  int converted = 0;
  for (size_t i = 0; i < files.size(); ++i) {
    std::string sourcePath = platform::JoinPath(source, files[i]);
    if (progress) progress(i, files.size(), sourcePath);
    std::string output = FolderRunOutput(destination, files[i], keepExtension != 0, keepHierarchy == 1);
    if (ConvertFile(sourcePath, output) == kConverted) ++converted;
  }
  if (progress) progress(files.size(), files.size(), {});
  report += TotalLine(converted);
  return 0;
}

}  // namespace tamarind
