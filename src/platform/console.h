// Text output of the command-line program.
#pragma once

#include <string_view>

#include "platform/outcome.h"

namespace tamarind::platform {

// Writes |text| to standard output / standard error and flushes it. False
// when it did not all get there (a closed pipe, once SIGPIPE is ignored, or
// a full disk); the stream's error stays set, so a later check sees it too.
bool WriteOut(std::string_view text);
bool WriteErr(std::string_view text);

// WriteOut, with the system's reason when |text| did not all get there
// ("standard output: Broken pipe").
Status WriteStandardOutput(std::string_view text);

// True when standard error is a terminal (progress is shown only there).
bool ErrIsTerminal();

}  // namespace tamarind::platform
