// The recognised text of one fax's pages: read with the worker's engine
// page by page as the conversion decodes them, for the PDF's text layer
// and for the NAME.txt file beside the other outputs.
#pragma once

#include <functional>
#include <span>
#include <string>
#include <vector>

#include "codec/fax/fax_page.h"
#include "convert/conversion_options.h"
#include "ocr/ocr_engine.h"

namespace tamarind {

// Everything recognition with |options| needs, checked before a run
// starts: the languages' data, the orientation data and, for PDFs, the
// text layer's font. The failure names what is missing and its package.
platform::Status TextRecognitionReady(const ConversionOptions& options);

class FaxText {
 public:
  // Recognition off: nothing is read.
  FaxText() = default;
  // Recognition on with |engine|; when it could not be made, every page
  // counts as not recognised, for its reason.
  explicit FaxText(const platform::Expected<ocr::OcrEngine*>& engine)
      : engine_(engine ? *engine : nullptr), unavailable_(engine.reason()), enabled_(true) {}

  bool Enabled() const { return enabled_; }
  // Asked while a page is read (true ends the page unread) and by the
  // writers between pages, recognition on or off.
  void StopWhen(std::function<bool()> stop) { stop_ = std::move(stop); }
  bool Stopped() const { return stop_ && stop_(); }
  // From now on every page counts as not recognised, for |why| (the text
  // cannot be used: a PDF without its text layer's font).
  void Unavailable(std::string why) {
    engine_ = nullptr;
    unavailable_ = std::move(why);
  }

  // Reads |page|, page |number| (from 1) of the fax. Null when recognition
  // is off or failed; a failed page keeps an empty text and is listed.
  // Pages never read (left out of a document) keep an empty text.
  const ocr::PageText* Recognise(const FaxPage& page, unsigned number);

  // Engines besides the fax's own (borrowed workers'), each for one page
  // of a RecogniseTogether call.
  void SetHelpers(std::vector<ocr::OcrEngine*> helpers) { helpers_ = std::move(helpers); }
  // How many pages RecogniseTogether reads at once.
  size_t PagesAtOnce() const { return engine_ ? 1 + helpers_.size() : 1; }
  // Reads |pages|, numbered from |first| on (at most PagesAtOnce() of
  // them), each on its own engine and thread, and records them in page
  // order: the same texts and the same lists as Recognise page after page,
  // since a page's reading depends on that page alone. Each page's text,
  // or null as Recognise; valid until the next call.
  std::vector<const ocr::PageText*> RecogniseTogether(std::span<const FaxPage> pages, unsigned first);

  int PagesRead() const { return read_; }
  const std::vector<unsigned>& Unrecognised() const { return unrecognised_; }
  // Those of them that were over their budget.
  const std::vector<unsigned>& TooLarge() const { return tooLarge_; }
  // Why the first unrecognised page failed ("" when none did).
  const std::string& Reason() const { return reason_; }

  // Every page's text in page order, pages separated by form feeds.
  std::string Joined() const;

 private:
  ocr::OcrEngine* engine_ = nullptr;
  std::string unavailable_;
  bool enabled_ = false;
  std::vector<std::string> pages_;
  std::vector<unsigned> unrecognised_;
  std::vector<unsigned> tooLarge_;
  std::function<bool()> stop_;
  std::string reason_;
  // Records page |number|'s reading; its text, or null when it failed.
  const ocr::PageText* Record(ocr::Recognition read, unsigned number, ocr::PageText& kept);

  std::vector<ocr::OcrEngine*> helpers_;
  ocr::PageText last_;
  std::vector<ocr::PageText> together_;  // the pages of the last RecogniseTogether
  int read_ = 0;
};

}  // namespace tamarind
