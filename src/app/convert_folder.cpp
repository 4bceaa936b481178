// Placeholder until folder conversion lands.
#include "app/conversion_job.h"

namespace tamarind {

void ConversionJob::CollectFiles(const std::string&, int32_t) {}
int ConversionJob::ConvertFolder() { return destination.empty() ? -1 : 0; }

}  // namespace tamarind
