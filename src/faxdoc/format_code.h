// Input formats told apart by file name.
#pragma once

#include <string>

namespace tamarind {

using FormatCode = int;
inline constexpr FormatCode kWinFaxFormat = 11;

FormatCode FormatCodeFromExtension(const std::string& path);

}  // namespace tamarind
