// Text output of the command-line program.
#pragma once

#include <string_view>

namespace tamarind::platform {

// Writes |text| to standard output / standard error and flushes it.
void WriteOut(std::string_view text);
void WriteErr(std::string_view text);

// True when standard error is a terminal (progress is shown only there).
bool ErrIsTerminal();

}  // namespace tamarind::platform
