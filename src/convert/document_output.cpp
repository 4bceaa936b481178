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
                 std::vector<uint8_t> textFont, std::optional<PdfEmbeddedSource> source) {
    if (format == OutputFormat::Pdf)
      pdf_ = std::make_unique<PdfDocumentWriter>(file, info, std::move(textFont), std::move(source));
    else tiff_ = std::make_unique<TiffDocumentWriter>(file, info);
  }
  // |text| (or null) gives a PDF page its words; a TIFF keeps only the
  // images, turned upright in viewers where the page was read upside down.
  platform::Status AddPage(const FaxPage& page, const ocr::PageText* text) {
    if (!pdf_) return tiff_->AddPage(page, TiffPageExtras{text && text->rotation == 180});
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

// Page |number|, checked, recognised (|words|, or null) and added; fails
// only when the output does, and lists a page that could not be added.
platform::Status AddPage(const FaxPage& page, unsigned number, const platform::Status& checked,
                         const ocr::PageText* words, DocumentWriter& writer, platform::AtomicOutputFile& file,
                         DocumentOutcome& outcome) {
  platform::Status added = checked;
  if (added) added = writer.AddPage(page, words);
  if (added) return {};
  // A write that failed is the output's failure, not the page's.
  if (platform::Status written = file.WriteState(); !written) return written;
  outcome.missingPages.push_back(number);
  if (outcome.pageReason.empty()) outcome.pageReason = "page " + std::to_string(number) + ": " + added.reason();
  return {};
}

// Pages from index |first| on, as many as |text| reads at once, decoded
// and recognised together, then added in page order.
platform::Status AddPagesTogether(FaxDocument& document, uint16_t first, DocumentWriter& writer,
                                  platform::AtomicOutputFile& file, FaxText& text, DocumentOutcome& outcome) {
  const size_t count = std::min<size_t>(text.PagesAtOnce(), document.PageCount() - first);
  std::vector<FaxPage> pages;
  std::vector<platform::Status> checks;
  std::vector<FaxPage> readable;  // the pages that passed their check
  for (size_t i = 0; i < count; ++i) {
    const auto index = static_cast<uint16_t>(first + i);
    if (index > 0) document.DecodePage(kWinFaxFormat, index);
    pages.push_back(document.Page());
    checks.push_back(CheckPage(pages.back()));
  }
  // A page that does not pass is never read, as one at a time.
  std::vector<const ocr::PageText*> words(count, nullptr);
  for (size_t i = 0; i < count;) {
    size_t end = i;
    while (end < count && checks[end]) ++end;
    const std::vector<const ocr::PageText*> read =
        text.RecogniseTogether(std::span(pages).subspan(i, end - i), static_cast<unsigned>(first + i + 1));
    std::copy(read.begin(), read.end(), words.begin() + static_cast<ptrdiff_t>(i));
    i = end + 1;
  }
  for (size_t i = 0; i < count; ++i)
    if (platform::Status added =
            AddPage(pages[i], static_cast<unsigned>(first + i + 1), checks[i], words[i], writer, file, outcome);
        !added)
      return added;
  return {};
}

// Adds every page that decodes and fits; fails only when the output does.
platform::Status AddPages(FaxDocument& document, DocumentWriter& writer, platform::AtomicOutputFile& file,
                          FaxText& text, DocumentOutcome& outcome) {
  const uint16_t pages = document.PageCount();
  for (uint16_t i = 0; i < pages;) {
    // Given up, the output is never committed.
    if (text.Stopped()) return platform::Failure{"stopped before it was finished"};
    if (text.Enabled() && text.PagesAtOnce() > 1) {
      if (platform::Status added = AddPagesTogether(document, i, writer, file, text, outcome); !added) return added;
      i = static_cast<uint16_t>(std::min<size_t>(pages, i + text.PagesAtOnce()));
      continue;
    }
    if (i > 0) document.DecodePage(kWinFaxFormat, i);
    const FaxPage& page = document.Page();
    const platform::Status checked = CheckPage(page);
    const ocr::PageText* words = checked ? text.Recognise(page, i + 1u) : nullptr;
    if (platform::Status added = AddPage(page, i + 1u, checked, words, writer, file, outcome); !added) return added;
    ++i;
  }
  outcome.pagesWritten = writer.PagesWritten();
  return {};
}

}  // namespace

DocumentOutcome WriteFaxDocument(FaxDocument& document, OutputFormat format, platform::AtomicOutputFile& file,
                                 const DocumentInfo& info, FaxText& text, std::optional<PdfEmbeddedSource> source) {
  DocumentOutcome outcome;
  std::vector<uint8_t> font = TextLayerFontFor(format, text);
  DocumentWriter writer(format, file, info, std::move(font), std::move(source));
  outcome.output = AddPages(document, writer, file, text, outcome);
  // Without a page the file goes unwritten.
  if (!outcome.output || outcome.pagesWritten == 0) return outcome;
  // Whatever fails from here on is the output's.
  if (platform::Status finished = writer.Finish(); !finished) outcome.output = OutputFailure(file, std::move(finished));
  else outcome.output = file.Commit();
  return outcome;
}

}  // namespace tamarind
