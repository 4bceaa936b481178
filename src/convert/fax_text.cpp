#include "convert/fax_text.h"

#include "ocr/languages.h"

namespace tamarind {

platform::Status TextRecognitionReady(const ConversionOptions& options) {
  if (!options.recognizeText) return {};
  const std::string folder = ocr::DefaultDataFolder();
  platform::Status ready = ocr::CheckLanguages(options.ocrLanguages, folder);
  if (ready && options.format == OutputFormat::Pdf) ready = ocr::CheckTextLayerFont(folder);
  return ready;
}

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
