// Placeholder until the reader lands: loads nothing.
#include "faxdoc/fax_document.h"

namespace tamarind {

namespace {
const FaxPage kEmptyPage;
}

FaxDocument::FaxDocument() = default;
FaxDocument::~FaxDocument() = default;
int FaxDocument::Load(const std::string&, FormatCode) { return -1; }
bool FaxDocument::IsLoaded() const { return false; }
uint16_t FaxDocument::PageCount() const { return 0; }
int FaxDocument::DecodePage(FormatCode, int) { return 0; }
const FaxPage& FaxDocument::Page() const { return kEmptyPage; }

}  // namespace tamarind
