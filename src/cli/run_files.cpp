#include "cli/run_files.h"

#include <filesystem>
#include <functional>
#include <optional>
#include <unordered_map>
#include <vector>

#include "batch/convert_folder.h"
#include "convert/output_names.h"
#include "faxdoc/format_code.h"
#include "platform/files.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

// |path| absolute and without "." and ".." steps, so that two spellings of
// one name compare equal.
std::string Normal(std::string_view path) {
  // The program never changes its working folder, so it is asked once (a
  // run may name a million files).
  static const std::filesystem::path working = [] {
    std::error_code ignored;
    return std::filesystem::current_path(ignored);
  }();
  const std::filesystem::path given(path);
  return (given.is_absolute() ? given : working / given).lexically_normal().string();
}

std::string Shown(std::string_view path) { return platform::EscapeControlBytes(path); }

// A file the run reads, or writes itself, that no output may replace.
class ProtectedFiles {
 public:
  explicit ProtectedFiles(const ConversionOptions& options) : options_(options) {}

  // |label| says what |path| is ("/report=r.json").
  void Add(std::string_view path, std::string label) {
    const std::string normal = Normal(path);
    for (std::string& base : BasesWriting(normal, options_)) bases_.emplace(std::move(base), label);
    names_.emplace(normal, std::move(label));
  }

  // The label of a file that a conversion into |destination| may write.
  std::optional<std::string> WrittenBy(std::string_view destination) const {
    const std::string normal = Normal(destination);
    if (auto named = names_.find(normal); named != names_.end()) return named->second;
    if (auto based = bases_.find(std::string(WithoutExtension(normal))); based != bases_.end()) return based->second;
    return std::nullopt;
  }

  bool Empty() const { return names_.empty(); }

 private:
  const ConversionOptions& options_;
  std::unordered_map<std::string, std::string> names_;
  std::unordered_map<std::string, std::string> bases_;  // see BasesWriting
};

// Calls |visit| with every input of the run: the source file or each listed
// file, and the file list.
void ForEachInput(const ConversionOptions& options, std::span<const std::string> files,
                  const std::function<void(const std::string&)>& visit) {
  if (options.mode == RunMode::SingleFile) visit(options.source);
  for (const std::string& entry : files) visit(ListedSource(options, entry));
  if (!options.filesFrom.empty() && options.filesFrom != "-") visit(options.filesFrom);
}

// The input that |path| (written by the run itself) names, if any: by name,
// or by identity when |path| exists.
std::optional<std::string> InputNamed(const std::string& path, const ConversionOptions& options,
                                      std::span<const std::string> files) {
  const std::string normal = Normal(path);
  const auto itself = platform::StatusOf(path);
  std::optional<std::string> found;
  ForEachInput(options, files, [&](const std::string& input) {
    if (found) return;
    if (Normal(input) == normal) found = input;
    if (!itself || found) return;
    const auto other = platform::StatusOf(input);
    if (other && other->device == itself->device && other->inode == itself->inode) found = input;
  });
  return found;
}

// The run's own files, by the switch that named them.
std::vector<std::pair<std::string, std::string>> OwnFiles(const ConversionOptions& options,
                                                          const std::string& logPath) {
  std::vector<std::pair<std::string, std::string>> own;
  if (!options.reportPath.empty() && options.reportPath != "-")
    own.emplace_back("/report=" + options.reportPath, options.reportPath);
  if (!logPath.empty()) own.emplace_back("/log=" + logPath, logPath);
  return own;
}

// Every file an output may not replace: the run's own files, the file
// list, and listed files whose names outputs could have (a WinFax name an
// output never has).
ProtectedFiles Protect(const ConversionOptions& options, std::span<const std::string> files,
                       const std::vector<std::pair<std::string, std::string>>& own) {
  ProtectedFiles kept(options);
  for (const auto& [label, path] : own) kept.Add(path, label);
  if (!options.filesFrom.empty() && options.filesFrom != "-")
    kept.Add(options.filesFrom, "/files-from=" + options.filesFrom);
  for (const std::string& entry : files) {
    if (FormatCodeFromExtension(entry) != kWinFaxFormat) kept.Add(ListedSource(options, entry), "listed file " + entry);
  }
  return kept;
}

// The first conversion that may write a protected file, as a refusal.
platform::Status CheckOutputs(const ConversionOptions& options, std::span<const std::string> files,
                              const ProtectedFiles& kept) {
  auto refuse = [](const std::string& label, const std::string& source) {
    return platform::Status(platform::Failure{Shown(label) + ": an output of " + Shown(source) + " may take its name"});
  };
  if (kept.Empty()) return {};
  if (options.mode == RunMode::SingleFile) {
    if (auto label = kept.WrittenBy(options.destination)) return refuse(*label, options.source);
    return {};
  }
  for (const std::string& entry : files) {
    const std::string output = FolderRunOutput(options, entry);
    if (auto label = output.empty() ? std::nullopt : kept.WrittenBy(output))
      return refuse(*label, ListedSource(options, entry));
  }
  return {};
}

}  // namespace

platform::Status CheckRunFiles(const ConversionOptions& options, std::span<const std::string> files,
                               const std::string& logPath) {
  const auto own = OwnFiles(options, logPath);
  for (const auto& [label, path] : own) {
    if (auto input = InputNamed(path, options, files))
      return platform::Failure{Shown(label) + ": names " + Shown(*input) + ", an input of this run"};
  }
  if (own.size() == 2 && Normal(own[0].second) == Normal(own[1].second))
    return platform::Failure{Shown(own[0].first) + ": names the log as well"};
  return CheckOutputs(options, files, Protect(options, files, own));
}

platform::Status CheckThumbnailFiles(const std::string& input, const std::string& output) {
  if (Normal(input) == Normal(output) || platform::SameFile(input, output))
    return platform::Failure{Shown(output) + ": names the fax the thumbnail is made from"};
  return {};
}

}  // namespace tamarind
