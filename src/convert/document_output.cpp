#include "convert/document_output.h"

#include <memory>

#include "codec/fax/page_geometry.h"
#include "codec/pdf/pdf_document_writer.h"
#include "codec/tiff/tiff_document_writer.h"
#include "faxdoc/format_code.h"
#include "ocr/languages.h"
#include "platform/atomic_file.h"

namespace tamarind {

namespace {

// The pages the JPEG output takes, so that a fax gives the same pages in
// every format.
platform::Status CheckPage(const FaxPage& page) {
  const PageGeometry geometry(page);
  if (geometry.Empty()) return platform::Failure{"no line of it could be decoded"};
  if (!geometry.FitsOutputLimits()) return platform::Failure{"it is larger than any fax page"};
  return {};
}

// The recognised words of a page for the PDF's text layer.
std::vector<PdfWord> PdfWordsOf(const ocr::PageText& text) {
  std::vector<PdfWord> words;
  words.reserve(text.words.size());
  for (const ocr::Word& word : text.words)
    words.push_back({word.text, word.box.left, word.box.top, word.box.right, word.box.bottom});
  return words;
}

// Both document writers, behind the calls a fax needs.
class DocumentWriter {
 public:
  DocumentWriter(OutputFormat format, platform::AtomicOutputFile& file, const DocumentInfo& info,
                 std::vector<uint8_t> textFont) {
    if (format == OutputFormat::Pdf) pdf_ = std::make_unique<PdfDocumentWriter>(file, info, std::move(textFont));
    else tiff_ = std::make_unique<TiffDocumentWriter>(file, info);
  }
  // |text| (or null) gives a PDF page its words; a TIFF keeps only images.
  platform::Status AddPage(const FaxPage& page, const ocr::PageText* text) {
    if (!pdf_) return tiff_->AddPage(page);
    if (!text) return pdf_->AddPage(page);
    const std::vector<PdfWord> words = PdfWordsOf(*text);
    return pdf_->AddPage(page, PdfPageExtras{text->rotation, words});
  }
  platform::Status Finish() { return pdf_ ? pdf_->Finish() : tiff_->Finish(); }
  int PagesWritten() const { return pdf_ ? pdf_->PagesWritten() : tiff_->PagesWritten(); }

 private:
  std::unique_ptr<PdfDocumentWriter> pdf_;
  std::unique_ptr<TiffDocumentWriter> tiff_;
};

// The glyph-less font of a PDF's text layer; without it the pages keep
// their images but lose their text.
std::vector<uint8_t> TextLayerFontFor(OutputFormat format, FaxText& text) {
  if (!text.Enabled() || format != OutputFormat::Pdf) return {};
  auto font = ocr::TextLayerFont(ocr::DefaultDataFolder());
  if (!font) {
    text.Unavailable(font.reason());
    return {};
  }
  return std::move(*font);
}

// What failed: |file|'s writes (the system's cause, naming the output) or
// else |failure| itself, which is then the output's too.
platform::Status OutputFailure(const platform::AtomicOutputFile& file, platform::Status failure) {
  if (platform::Status written = file.WriteState(); !written) return written;
  return std::move(failure).failure().WithPath(file.FinalPath());
}

// Adds every page that decodes and fits; fails only when the output does.
platform::Status AddPages(FaxDocument& document, DocumentWriter& writer, platform::AtomicOutputFile& file,
                          FaxText& text, DocumentOutcome& outcome) {
  const uint16_t pages = document.PageCount();
  for (uint16_t i = 0; i < pages; ++i) {
    // Given up, the output is never committed.
    if (text.Stopped()) return platform::Failure{"stopped before it was finished"};
    if (i > 0) document.DecodePage(kWinFaxFormat, i);
    const unsigned number = i + 1u;
    platform::Status added = CheckPage(document.Page());
    if (added) added = writer.AddPage(document.Page(), text.Recognise(document.Page(), number));
    if (added) continue;
    // A write that failed is the output's failure, not the page's.
    if (platform::Status written = file.WriteState(); !written) return written;
    outcome.missingPages.push_back(number);
    if (outcome.pageReason.empty()) outcome.pageReason = "page " + std::to_string(number) + ": " + added.reason();
  }
  outcome.pagesWritten = writer.PagesWritten();
  return {};
}

}  // namespace

DocumentOutcome WriteFaxDocument(FaxDocument& document, OutputFormat format, platform::AtomicOutputFile& file,
                                 const DocumentInfo& info, FaxText& text) {
  DocumentOutcome outcome;
  std::vector<uint8_t> font = TextLayerFontFor(format, text);
  DocumentWriter writer(format, file, info, std::move(font));
  outcome.output = AddPages(document, writer, file, text, outcome);
  // Without a page the file goes unwritten.
  if (!outcome.output || outcome.pagesWritten == 0) return outcome;
  // Whatever fails from here on is the output's.
  if (platform::Status finished = writer.Finish(); !finished) outcome.output = OutputFailure(file, std::move(finished));
  else outcome.output = file.Commit();
  return outcome;
}

}  // namespace tamarind
