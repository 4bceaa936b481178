// Input formats told apart by file name.
#pragma once

#include <string>

namespace tamarind {

using FormatCode = int;
inline constexpr FormatCode kWinFaxFormat = 11;
inline constexpr FormatCode kNotFaxFormat = -2;
inline constexpr FormatCode kUnknownFormat = 0;

// The format an input file holds, judged by the extension of |path| (for
// "g3f" files by their first bytes). Only kWinFaxFormat is ever converted.
FormatCode FormatCodeFromExtension(const std::string& path);

}  // namespace tamarind
