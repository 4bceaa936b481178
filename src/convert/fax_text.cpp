#include "convert/fax_text.h"

#include <thread>

#include "ocr/languages.h"
#include "platform/interrupt.h"

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
  return Record(
      engine_ ? engine_->Recognise(page, {.stop = stop_}) : ocr::Recognition{{}, ocr::Unread::kFailed, unavailable_},
      number, last_);
}

std::vector<const ocr::PageText*> FaxText::RecogniseTogether(std::span<const FaxPage> pages, unsigned first) {
  std::vector<const ocr::PageText*> texts;
  if (!enabled_ || pages.size() <= 1 || pages.size() > PagesAtOnce()) {
    for (size_t i = 0; i < pages.size(); ++i) texts.push_back(Recognise(pages[i], first + static_cast<unsigned>(i)));
    return texts;
  }
  std::vector<ocr::Recognition> reads(pages.size());
  {
    // The borrowed engines read the later pages while this thread reads the
    // first; the threads are joined before any reading is used.
    std::vector<std::jthread> helpers;
    for (size_t i = 1; i < pages.size(); ++i)
      helpers.push_back(platform::StartThreadWithInterruptsBlocked(
          [&, i] { reads[i] = helpers_[i - 1]->Recognise(pages[i], {.stop = stop_}); }));
    reads[0] = engine_->Recognise(pages[0], {.stop = stop_});
  }
  together_.assign(pages.size(), ocr::PageText{});
  for (size_t i = 0; i < pages.size(); ++i)
    texts.push_back(Record(std::move(reads[i]), first + static_cast<unsigned>(i), together_[i]));
  return texts;
}

const ocr::PageText* FaxText::Record(ocr::Recognition read, unsigned number, ocr::PageText& kept) {
  if (pages_.size() < number) pages_.resize(number);
  if (!read.ok()) {
    unrecognised_.push_back(number);
    if (read.unread == ocr::Unread::kTooLarge) tooLarge_.push_back(number);
    if (reason_.empty()) reason_ = "page " + std::to_string(number) + ": text not recognised: " + read.reason;
    return nullptr;
  }
  ++read_;
  kept = std::move(read.text);
  pages_[number - 1] = kept.text;
  return &kept;
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
