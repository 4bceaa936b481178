// The engine of a build without Tesseract (a Windows build whose
// architecture leaves text recognition out to save build time): every
// request fails with the reason, so /ocr and the window say it plainly.
#include "ocr/ocr_engine.h"

namespace tamarind::ocr {

namespace {

platform::Failure NotBuilt() { return platform::Failure{"text recognition is not part of this build of Tamarind"}; }

}  // namespace

struct OcrEngine::Tesseracts {};

// No engine is ever made here, so a worker holds none of its memory.
int64_t RecognitionMemoryBound() { return 0; }

OcrEngine::OcrEngine(std::unique_ptr<Tesseracts> tesseracts) : tesseracts_(std::move(tesseracts)) {}
OcrEngine::OcrEngine(OcrEngine&&) noexcept = default;
OcrEngine& OcrEngine::operator=(OcrEngine&&) noexcept = default;
OcrEngine::~OcrEngine() = default;

platform::Expected<OcrEngine> OcrEngine::Create(std::string_view, const std::string&) { return NotBuilt(); }

platform::Expected<OcrEngine> OcrEngine::Create(std::string_view) { return NotBuilt(); }

Recognition OcrEngine::Recognise(const FaxPage&, const RecognitionLimits&) {
  return {PageText{}, Unread::kFailed, NotBuilt().message()};
}

}  // namespace tamarind::ocr
