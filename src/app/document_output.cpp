#include "app/document_output.h"

#include <memory>

#include "codec/fax/page_limits.h"
#include "codec/pdf/pdf_document_writer.h"
#include "codec/tiff/tiff_document_writer.h"
#include "faxdoc/format_code.h"
#include "platform/atomic_file.h"

namespace tamarind {

namespace {

// The JPEG output takes pages up to these sizes with rows repeated for
// square pixels; the documents take the same pages, so a fax gives the
// same pages in every format.
bool FitsTheOutputs(const FaxPage& page) {
  const int64_t repeat = page.y_resolution == 0 ? 1 : std::max<int64_t>(1, page.x_resolution / page.y_resolution);
  const int64_t rows = int64_t{page.height} * repeat;
  return page.width <= kMaxPageDimension && rows <= kMaxPageDimension && rows * page.width <= kMaxPagePixels;
}

platform::Status CheckPage(const FaxPage& page) {
  if (page.width <= 0 || page.height <= 0) return platform::Failure{"no line of it could be decoded"};
  if (!FitsTheOutputs(page)) return platform::Failure{"it is larger than any fax page"};
  return {};
}

// Both document writers, behind the two calls a fax needs.
class DocumentWriter {
 public:
  DocumentWriter(OutputFormat format, platform::AtomicOutputFile& file, const DocumentInfo& info) {
    if (format == OutputFormat::Pdf) pdf_ = std::make_unique<PdfDocumentWriter>(file, info);
    else tiff_ = std::make_unique<TiffDocumentWriter>(file, info);
  }
  platform::Status AddPage(const FaxPage& page) { return pdf_ ? pdf_->AddPage(page) : tiff_->AddPage(page); }
  platform::Status Finish() { return pdf_ ? pdf_->Finish() : tiff_->Finish(); }
  int PagesWritten() const { return pdf_ ? pdf_->PagesWritten() : tiff_->PagesWritten(); }

 private:
  std::unique_ptr<PdfDocumentWriter> pdf_;
  std::unique_ptr<TiffDocumentWriter> tiff_;
};

}  // namespace

DocumentOutcome WriteFaxDocument(FaxDocument& document, OutputFormat format, platform::AtomicOutputFile& file,
                                 const DocumentInfo& info) {
  DocumentOutcome outcome;
  auto because = [&](std::string reason) {
    if (outcome.reason.empty()) outcome.reason = std::move(reason);
  };
  DocumentWriter writer(format, file, info);
  const uint16_t pages = document.PageCount();
  for (uint16_t i = 0; i < pages; ++i) {
    if (i > 0) document.DecodePage(kWinFaxFormat, i);
    platform::Status added = CheckPage(document.Page());
    if (added) added = writer.AddPage(document.Page());
    if (added) continue;
    outcome.missingPages.push_back(i + 1u);
    because("page " + std::to_string(i + 1) + ": " + added.reason());
  }
  outcome.pagesWritten = writer.PagesWritten();
  if (outcome.pagesWritten == 0) return outcome;  // the file goes unwritten
  platform::Status finished = writer.Finish();
  if (finished) finished = file.Commit();
  else finished = platform::Failure{file.FinalPath() + ": " + finished.reason()};
  if (finished) {
    outcome.written = true;
    return outcome;
  }
  because(finished.reason());
  outcome.pagesWritten = 0;
  return outcome;
}

}  // namespace tamarind
