#include "convert/conversion_job.h"

#include "convert/process.h"

namespace tamarind {

ConversionJob::ConversionJob() = default;
ConversionJob::~ConversionJob() = default;

void ConversionJob::Reset() {
  // |quiet| and |mode| belong to the command line and outlive a reset.
  ConversionOptions defaults;
  defaults.quiet = options.quiet;
  defaults.mode = options.mode;
  options = std::move(defaults);
  report.clear();
  files.clear();
  failures = 0;
  walkFailures.clear();
  lastOutcome = {};
}

void ConversionJob::SetReport(std::string_view text) { report.assign(text); }

std::string ConversionJob::GetReport() const { return report; }

platform::PrivateTempFile* ConversionJob::TempBmp(std::string* error) {
  if (tempBmp_) return tempBmp_.get();
  auto made = platform::PrivateTempFile::Create(processPaths.tempFolder, processPaths.tempBmpPrefix, ".tmp");
  if (made) tempBmp_ = std::move(*made);
  else if (error) *error = made.reason();
  return tempBmp_.get();
}

ocr::OcrEngine* ConversionJob::TextRecognizer(std::string* error) {
  if (ocrLanguages_ != options.ocrLanguages) {
    ocrEngine_.reset();
    ocrFailure_.clear();
    ocrLanguages_ = options.ocrLanguages;
  }
  if (!ocrEngine_ && ocrFailure_.empty()) {
    platform::Expected<ocr::OcrEngine> made = ocr::OcrEngine::Create(options.ocrLanguages);
    if (made) ocrEngine_.emplace(std::move(*made));
    else ocrFailure_ = made.reason();
  }
  if (!ocrEngine_ && error) *error = ocrFailure_;
  return ocrEngine_ ? &*ocrEngine_ : nullptr;
}

}  // namespace tamarind
