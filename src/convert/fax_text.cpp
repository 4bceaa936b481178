#include "convert/fax_text.h"

namespace tamarind {

const ocr::PageText* FaxText::Recognise(const FaxPage& page, unsigned number) {
  if (!enabled_) return nullptr;
  if (pages_.size() < number) pages_.resize(number);
  ocr::Recognition read = engine_ ? engine_->Recognise(page, {.stop = stop_})
                                  : ocr::Recognition{{}, ocr::Unread::kFailed, unavailable_};
  if (!read.ok()) {
    unrecognised_.push_back(number);
    if (read.unread == ocr::Unread::kTooLarge) tooLarge_.push_back(number);
    if (reason_.empty()) reason_ = "page " + std::to_string(number) + ": text not recognised: " + read.reason;
    return nullptr;
  }
  ++read_;
  last_ = std::move(read.text);
  pages_[number - 1] = last_.text;
  return &last_;
}

std::string FaxText::Joined() const {
  std::string text;
  for (size_t i = 0; i < pages_.size(); ++i) {
    if (i > 0) text += '\f';
    text += pages_[i];
  }
  return text;
}

}  // namespace tamarind
