// Placeholder until the log lands.
#include "app/conversion_log.h"

namespace tamarind {

void AppendToLog(const std::string&, std::string_view) {}

}  // namespace tamarind
