#include "app/conversion_job.h"

#include "app/process.h"

namespace tamarind {

ConversionJob::ConversionJob() = default;
ConversionJob::~ConversionJob() = default;

void ConversionJob::Reset() {
  keepDate = 0;
  keepExtension = 0;
  optimize = 1;
  includeSubfolders = 0;
  keepHierarchy = 0;
  quality = 50;
  skipExisting = 0;
  filter = "*.*";
  source.clear();
  destination.clear();
  report.clear();
  files.clear();
  failures = 0;
  walkFailures.clear();
}

void ConversionJob::SetReport(std::string_view text) { report.assign(text); }

std::string ConversionJob::GetReport() const { return report; }

platform::PrivateTempFile* ConversionJob::TempBmp() {
  if (!tempBmp_) tempBmp_ = platform::PrivateTempFile::Create(processPaths.tempFolder, processPaths.tempBmpPrefix, ".tmp");
  return tempBmp_.get();
}

}  // namespace tamarind
