#include "window/help.h"

#include <filesystem>

#include "convert/output_names.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace tamarind {

const std::string_view kInstalledManual = TAMARIND_INSTALLED_MANUAL;

platform::Expected<std::string> HelpDocumentPath(const std::string& modulePath, std::string_view installedManual) {
  const std::string stem(WithoutExtension(modulePath));
  for (const char* extension : {".chm", ".html"}) {
    std::string candidate = stem + extension;
    if (platform::IsRegularFile(candidate)) return candidate;
  }
  const std::filesystem::path folder(platform::FolderOf(modulePath));
  std::string installed = (folder / installedManual).lexically_normal().string();
  if (platform::IsRegularFile(installed)) return installed;
  return platform::Failure{"Help file not found: " + installed};
}

}  // namespace tamarind
