#include "convert/document_output.h"

#include <memory>

#include "codec/fax/page_limits.h"
#include "codec/pdf/pdf_document_writer.h"
#include "codec/tiff/tiff_document_writer.h"
#include "faxdoc/format_code.h"
#include "ocr/languages.h"
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

}  // namespace

DocumentOutcome WriteFaxDocument(FaxDocument& document, OutputFormat format, platform::AtomicOutputFile& file,
                                 const DocumentInfo& info, FaxText& text) {
  DocumentOutcome outcome;
  auto because = [&](platform::Status reason) {
    if (outcome.reason.ok()) outcome.reason = std::move(reason);
  };
  std::vector<uint8_t> font;
  bool withText = text.Enabled();
  if (withText && format == OutputFormat::Pdf) {
    auto loaded = ocr::TextLayerFont(ocr::DefaultDataFolder());
    if (loaded) font = std::move(*loaded);
    else because(loaded.status());
    withText = loaded.ok();
  }
  DocumentWriter writer(format, file, info, std::move(font));
  const uint16_t pages = document.PageCount();
  for (uint16_t i = 0; i < pages; ++i) {
    if (i > 0) document.DecodePage(kWinFaxFormat, i);
    platform::Status added = CheckPage(document.Page());
    const ocr::PageText* words = added && withText ? text.Recognise(document.Page(), i + 1u) : nullptr;
    if (added) added = writer.AddPage(document.Page(), words);
    if (added) continue;
    outcome.missingPages.push_back(i + 1u);
    // A write that failed names the output and its cause already; a page
    // that could not be taken is named by its number.
    if (added.error() != 0) because(std::move(added));
    else because(platform::Failure{"page " + std::to_string(i + 1) + ": " + added.reason()});
  }
  outcome.pagesWritten = writer.PagesWritten();
  if (outcome.pagesWritten == 0) return outcome;  // the file goes unwritten
  platform::Status finished = writer.Finish();
  if (finished) finished = file.Commit();
  else finished = std::move(finished).failure().WithPath(file.FinalPath());
  if (finished) {
    outcome.written = true;
    return outcome;
  }
  because(std::move(finished));
  outcome.pagesWritten = 0;
  return outcome;
}

}  // namespace tamarind
