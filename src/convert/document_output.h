// A fax as one lossless document: every page that decodes, Group 4 coded,
// in one PDF/A-2b or one multi-page TIFF.
#pragma once

#include <string>
#include <vector>

#include "codec/tiff/document_info.h"
#include "convert/conversion_options.h"
#include "convert/fax_text.h"
#include "faxdoc/fax_document.h"
#include "platform/atomic_file.h"
#include "platform/outcome.h"

namespace tamarind {

struct DocumentOutcome {
  // Written and committed under its final name; otherwise nothing was
  // written (an existing file of that name is untouched).
  bool written = false;
  int pagesWritten = 0;
  std::vector<unsigned> missingPages;  // numbered from 1
  // Why the first missing page or the document failed: naming the output
  // when it was the output that failed, no file for a page's failure.
  platform::Status reason;
};

// Writes the pages of |document| (page 0 already decoded; later pages are
// decoded into it in turn) into |file| as |format| (Pdf or Tiff) and
// commits it. A page that did not decode, or that exceeds the size the
// outputs take, is left out and listed; a document without any page is not
// written. When |text| is enabled each page is recognised as it is added;
// a PDF page then carries its words as an invisible layer (turned with a
// page read upside down).
DocumentOutcome WriteFaxDocument(FaxDocument& document, OutputFormat format, platform::AtomicOutputFile& file,
                                 const DocumentInfo& info, FaxText& text);

}  // namespace tamarind
