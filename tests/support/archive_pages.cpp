#include "support/archive_pages.h"

#include <mutex>
#include <stdexcept>

#include "faxdoc/fax_document.h"
#include "faxdoc/format_code.h"
#include "support/fax_files.h"
#include "support/test_files.h"

namespace tamarind::test {

namespace {

std::vector<ArchivePage> DecodeArchivePages() {
  struct Filed {
    const char* name;
    uint8_t resolution_code;  // 0 standard, 1 fine, 2 superfine
    const char* label;
  };
  static constexpr Filed kFiled[] = {
      {"text-standard-g3", 0, "standard 1728"},
      {"text-fine-g4", 1, "fine 1728"},
      {"wide-g4", 0, "standard 2048"},
      {"text-fine-g3", 2, "superfine 1728"},
  };
  std::vector<tools::WinFaxPageLayout> layouts;
  for (const Filed& filed : kFiled) {
    layouts.push_back(WinFaxPageOf(RealPageNamed(filed.name)));
    layouts.back().resolution_code = filed.resolution_code;
  }
  ScopedTempDir dir;
  const std::string path = dir.File("archive.fxd");
  std::string error;
  if (!tools::WriteWinFaxFile(path, layouts, &error)) throw std::runtime_error(error);
  FaxDocument document;
  if (document.Load(path, kWinFaxFormat) != 0 || document.PageCount() != std::size(kFiled))
    throw std::runtime_error("the archive test file does not load");
  std::vector<ArchivePage> pages;
  for (size_t i = 0; i < std::size(kFiled); ++i) {
    if (document.DecodePage(kWinFaxFormat, static_cast<int>(i)) != 0)
      throw std::runtime_error("archive test page " + std::to_string(i) + " does not decode");
    pages.push_back({kFiled[i].label, &RealPageNamed(kFiled[i].name), document.Page()});
  }
  return pages;
}

}  // namespace

const std::vector<ArchivePage>& ArchivePages() {
  static std::once_flag once;
  static std::vector<ArchivePage> pages;
  std::call_once(once, [] { pages = DecodeArchivePages(); });
  return pages;
}

}  // namespace tamarind::test
