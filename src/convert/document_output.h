// A fax as one lossless document: every page that decodes, Group 4 coded,
// in one PDF/A-2b or one multi-page TIFF.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "codec/pdf/pdf_document_writer.h"
#include "codec/tiff/document_info.h"
#include "convert/conversion_options.h"
#include "convert/fax_text.h"
#include "faxdoc/fax_document.h"
#include "platform/atomic_file.h"
#include "platform/outcome.h"

namespace tamarind {

struct DocumentOutcome {
  // The output's failure, naming it with its cause ("out/a.pdf: File too
  // large"); nothing was then written, and an existing file of that name
  // is untouched. Ok when its writes and its commit went through.
  platform::Status output;
  // The pages the document holds; 0 when no page could be written (the
  // file is then not written either).
  int pagesWritten = 0;
  std::vector<unsigned> missingPages;  // numbered from 1
  // Why the first missing page is missing, naming no file ("page 2: no
  // line of it could be decoded"); "" when none is.
  std::string pageReason;

  // Committed under its final name.
  bool Written() const { return output.ok() && pagesWritten > 0; }
};

// Writes the pages of |document| (page 0 already decoded; later pages are
// decoded into it in turn) into |file| as |format| (Pdf or Tiff) and
// commits it. A page that did not decode, or that exceeds the size the
// outputs take, is left out and listed; a document without any page is not
// written. When |text| is enabled each page is recognised as it is added;
// a PDF page then carries its words as an invisible layer (turned with a
// page read upside down, as a TIFF page then gets Orientation 3), and
// without the layer's font every page counts as not recognised. A PDF
// with |source| carries it (PDF/A-3b); other formats ignore it.
DocumentOutcome WriteFaxDocument(FaxDocument& document, OutputFormat format, platform::AtomicOutputFile& file,
                                 const DocumentInfo& info, FaxText& text,
                                 std::optional<PdfEmbeddedSource> source = std::nullopt);

}  // namespace tamarind
