#include "faxdoc/fax_document.h"

namespace tamarind {

FaxDocument::FaxDocument() = default;
FaxDocument::~FaxDocument() = default;

int FaxDocument::Load(const std::string& path, FormatCode code) {
  load_failure_.clear();
  header_text_.clear();
  if (code != kWinFaxFormat) return -1;
  if (platform::Status opened = reader_.Open(path); !opened) {
    load_failure_ = opened.reason();
    return -1;
  }
  page_count_ = reader_.CountPages();
  header_text_ = reader_.PageText(0);
  // With no pages the reader has closed the file and the page stays empty.
  reader_.DecodePage(0, page_);
  return 0;
}

bool FaxDocument::IsLoaded() const { return page_.width >= 1 && page_.height >= 1; }

uint16_t FaxDocument::PageCount() const { return page_count_; }

int FaxDocument::DecodePage(FormatCode code, int index) {
  if (code != kWinFaxFormat || index < 0 || index >= page_count_) {
    page_ = FaxPage{};
    return -1;
  }
  reader_.DecodePage(index, page_);
  return 0;
}

const FaxPage& FaxDocument::Page() const { return page_; }

}  // namespace tamarind
