#include "app/output_names.h"

#include <cstdio>

#include "platform/paths.h"

namespace tamarind {

namespace {

std::string_view LastComponent(std::string_view path) {
  size_t cut = path.rfind(platform::kSeparator);
  return cut == std::string_view::npos ? path : path.substr(cut + 1);
}

}  // namespace

std::string_view WithoutExtension(std::string_view path) {
  std::string_view name = LastComponent(path);
  size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot == 0) return path;
  return path.substr(0, path.size() - name.size() + dot);
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
  for (unsigned n = 1; n <= pages; ++n) names.push_back(base + PageNumber(n) + ".jpg");
  return names;
}

std::string FolderRunOutput(std::string_view destination, std::string_view entry, bool keepExtension,
                            bool keepHierarchy) {
  std::string name(keepExtension ? entry : WithoutExtension(entry));
  name += ".jpg";
  // The entry is relative to the source folder, so mirroring the tree is
  // putting the destination where the source was at the front.
  if (!keepHierarchy) name = std::string(LastComponent(name));
  return platform::JoinPath(destination, name);
}

}  // namespace tamarind
