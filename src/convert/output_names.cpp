#include "convert/output_names.h"

#include <algorithm>
#include <cstdio>
#include <optional>

#include "faxdoc/file_reader.h"
#include "platform/paths.h"
#include "platform/string_extras.h"

namespace tamarind {

namespace {

constexpr std::string_view kJpegExtension = ".jpg";

// The page number that |digits| spells in a page file name ("007", "1024"),
// or nullopt when no page of a file can be numbered so.
std::optional<unsigned> PageNumberIn(std::string_view digits) {
  if (digits.size() != 3 && digits.size() != 4) return std::nullopt;
  std::optional<int64_t> n = platform::ParseDecimal(digits);
  if (!n) return std::nullopt;
  bool valid = digits.size() == 3 ? *n >= 1 : *n >= 1000 && *n <= FileReader::kMaxPages;
  return valid ? std::optional(static_cast<unsigned>(*n)) : std::nullopt;
}

}  // namespace

std::string_view LastComponent(std::string_view path) {
  size_t cut = platform::LastSeparator(path);
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

std::string_view WithoutExtension(std::string_view path) {
  std::string_view name = LastComponent(path);
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return path;
  return path.substr(0, path.size() - name.size() + dot);
}

constexpr std::pair<std::string_view, OutputFormat> kFormatNames[] = {
    {"jpg", OutputFormat::Jpeg}, {"pdf", OutputFormat::Pdf}, {"tif", OutputFormat::Tiff}};

std::string_view OutputFormatName(OutputFormat format) {
  for (const auto& [name, named] : kFormatNames)
    if (named == format) return name;
  return kFormatNames[0].first;
}

std::optional<OutputFormat> OutputFormatNamed(std::string_view name) {
  for (const auto& [known, format] : kFormatNames)
    if (platform::EqualsIgnoringCase(name, known)) return format;
  return std::nullopt;
}

std::string_view OutputExtension(OutputFormat format) {
  switch (format) {
    case OutputFormat::Pdf: return ".pdf";
    case OutputFormat::Tiff: return ".tif";
    case OutputFormat::Jpeg: break;
  }
  return kJpegExtension;
}

std::string PageNumber(unsigned n) {
  char number[16];
  std::snprintf(number, sizeof number, "%03u", n);
  return number;
}

std::vector<std::string> PageFileNames(const std::string& destination, uint16_t pages) {
  if (pages <= 1) return {destination};
  std::string base(WithoutExtension(destination));
  std::vector<std::string> names;
  names.reserve(pages);
  for (unsigned n = 1; n <= pages; ++n) names.push_back(base + PageNumber(n) + std::string(kJpegExtension));
  return names;
}

namespace {

// An entry that, put under the destination, would land outside it.
bool LeavesItsFolder(std::string_view entry) {
  if (platform::RootLength(entry) > 0) return true;
  while (!entry.empty()) {
    const size_t cut = std::min(platform::FirstSeparator(entry), entry.size());
    if (entry.substr(0, cut) == "..") return true;
    entry.remove_prefix(std::min(cut + 1, entry.size()));
  }
  return false;
}

}  // namespace

std::string TextFileFor(std::string_view destination) { return std::string(WithoutExtension(destination)) + ".txt"; }

std::string FolderRunOutput(const ConversionOptions& options, std::string_view entry) {
  // Listed files may name anything; only the walk's entries are known to
  // stay inside the source folder.
  if (options.keepHierarchy && LeavesItsFolder(entry)) return {};
  std::string name(options.keepExtension ? entry : WithoutExtension(entry));
  name += OutputExtension(options.format);
  // The entry is relative to the source folder, so mirroring the tree is
  // putting the destination where the source was at the front.
  if (!options.keepHierarchy) name = std::string(LastComponent(name));
  return platform::JoinPath(options.destination, name);
}

std::vector<std::string> BasesWriting(std::string_view path, const ConversionOptions& options) {
  std::vector<std::string> bases;
  constexpr std::string_view kTextExtension = ".txt";
  if (options.recognizeText && options.format != OutputFormat::Pdf && path.ends_with(kTextExtension))
    bases.emplace_back(path.substr(0, path.size() - kTextExtension.size()));
  if (options.format != OutputFormat::Jpeg || !path.ends_with(kJpegExtension)) return bases;
  const std::string_view stem = path.substr(0, path.size() - kJpegExtension.size());
  for (size_t digits : {size_t{3}, size_t{4}}) {
    if (stem.size() >= digits && PageNumberIn(stem.substr(stem.size() - digits)))
      bases.emplace_back(stem.substr(0, stem.size() - digits));
  }
  return bases;
}

// A conversion with base b writes b's own output or b + "001" ... b +
// "1024" + ".jpg". It reaches the conversions whose page names its own
// output is, and the base b without a trailing "1" (page 1001 of base b is
// page 1 of base b + "1").
CollisionKeys CollisionKeysOf(std::string_view output) {
  const std::string folded = platform::ToLowerAscii(output);
  CollisionKeys keys{std::string(WithoutExtension(folded)), {}};
  // Documents (PDF, TIFF) are single files: only JPEG pages have numbered
  // names.
  if (folded.size() <= kJpegExtension.size() || !folded.ends_with(kJpegExtension)) return keys;
  std::string_view stem = std::string_view(folded).substr(0, folded.size() - kJpegExtension.size());
  for (size_t digits : {size_t{3}, size_t{4}}) {
    if (stem.size() >= digits && PageNumberIn(stem.substr(stem.size() - digits)))
      keys.reaches.emplace_back(stem.substr(0, stem.size() - digits));
  }
  if (!keys.base.empty() && keys.base.back() == '1') keys.reaches.push_back(keys.base.substr(0, keys.base.size() - 1));
  return keys;
}

}  // namespace tamarind
