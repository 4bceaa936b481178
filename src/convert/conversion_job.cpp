#include "convert/conversion_job.h"

#include "convert/output_names.h"
#include "convert/process.h"
#include "platform/interrupt.h"
#include "platform/paths.h"

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

platform::Expected<platform::PrivateTempFile*> ConversionJob::TempBmp() {
  if (!tempBmp_) {
    auto made = platform::PrivateTempFile::Create(processPaths.tempFolder, processPaths.tempBmpPrefix, ".tmp");
    if (!made) return std::move(made).failure();
    tempBmp_ = std::move(*made);
  }
  return tempBmp_.get();
}

platform::Expected<ocr::OcrEngine*> ConversionJob::TextRecognizer() {
  if (ocrLanguages_ != options.ocrLanguages) {
    ocrEngine_.reset();
    ocrFailure_.reset();
    helperEngines_.clear();
    ocrLanguages_ = options.ocrLanguages;
  }
  if (!ocrEngine_ && !ocrFailure_) {
    platform::Expected<ocr::OcrEngine> made = ocr::OcrEngine::Create(options.ocrLanguages);
    if (made) ocrEngine_.emplace(std::move(*made));
    else ocrFailure_ = std::move(made).failure();
  }
  if (!ocrEngine_) return *ocrFailure_;
  return &*ocrEngine_;
}

std::vector<ocr::OcrEngine*> ConversionJob::HelperRecognizers(int count) {
  std::vector<ocr::OcrEngine*> engines;
  if (!TextRecognizer()) return engines;
  while (static_cast<int>(helperEngines_.size()) < count) {
    platform::Expected<ocr::OcrEngine> made = ocr::OcrEngine::Create(options.ocrLanguages);
    if (!made) break;
    helperEngines_.push_back(std::move(*made));
  }
  for (int i = 0; i < count && i < static_cast<int>(helperEngines_.size()); ++i) engines.push_back(&helperEngines_[i]);
  return engines;
}

bool ConversionJob::StopRequested() const { return (stop && stop->load()) || platform::InterruptRequested(); }

platform::Status ConversionJob::RemoveOutput(const std::string& path) const {
  const std::string name(LastComponent(path));
  const std::string prefix = outputRoot ? platform::JoinPath(outputRoot->Path(), "") : std::string();
  platform::Expected<platform::OutputFolder> folder =
      !prefix.empty() && path.starts_with(prefix)
          ? outputRoot->Beneath(platform::FolderOf(std::string_view(path).substr(prefix.size())))
          : platform::OutputFolder::Open(std::string(platform::FolderOf(path)));
  if (!folder) return std::move(folder).failure();
  return folder->RemoveFile(name);
}

}  // namespace tamarind
