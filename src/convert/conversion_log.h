// The conversion log: one dated entry per run.
#pragma once

#include <string>
#include <string_view>

#include "platform/outcome.h"
#include "platform/text_spool.h"

namespace tamarind {

// Appends the time line, |text| and a line of 50 dashes to the file at
// |path|, whole or not at all. Nothing happens for an empty path. The
// file's folder is made when missing: with its parents when
// |createParents|, else the last level only (a missing parent loses the
// entry). Fails with the reason when the entry was not written.
platform::Status AppendToLog(const std::string& path, std::string_view text, bool createParents = false);
// The same for a text too long to hold in memory, written in pieces.
platform::Status AppendToLog(const std::string& path, const platform::TextSpool& text, bool createParents = false);

// AppendToLog, with a failure said on standard error; false when the entry
// was lost.
bool AppendToLogOrSay(const std::string& path, std::string_view text, bool createParents);
bool AppendToLogOrSay(const std::string& path, const platform::TextSpool& text, bool createParents);

}  // namespace tamarind
