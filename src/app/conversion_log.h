// The conversion log: one dated entry per run.
#pragma once

#include <string>
#include <string_view>

namespace tamarind {

// Appends the time line, |text| and a line of 50 dashes to the file at
// |path|. Nothing happens for an empty path; failures are silent. The
// file's folder is made when missing: with its parents when
// |createParents|, else the last level only (a missing parent loses the
// entry).
void AppendToLog(const std::string& path, std::string_view text, bool createParents = false);

}  // namespace tamarind
