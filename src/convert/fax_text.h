// The recognised text of one fax's pages: read with the worker's engine
// page by page as the conversion decodes them, for the PDF's text layer
// and for the NAME.txt file beside the other outputs.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "codec/fax/fax_page.h"
#include "ocr/ocr_engine.h"

namespace tamarind {

class FaxText {
 public:
  // Recognition off: nothing is read.
  FaxText() = default;
  // Recognition on with |engine|; a null engine could not be made, for
  // |unavailable|, and every page then counts as not recognised.
  FaxText(ocr::OcrEngine* engine, std::string unavailable)
      : engine_(engine), unavailable_(std::move(unavailable)), enabled_(true) {}

  bool Enabled() const { return enabled_; }
  // Asked while a page is read: true ends the page unread.
  void StopWhen(std::function<bool()> stop) { stop_ = std::move(stop); }

  // Reads |page|, page |number| (from 1) of the fax. Null when recognition
  // is off or failed; a failed page keeps an empty text and is listed.
  // Pages never read (left out of a document) keep an empty text.
  const ocr::PageText* Recognise(const FaxPage& page, unsigned number);

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
  ocr::PageText last_;
  int read_ = 0;
};

}  // namespace tamarind
