// Small string and number helpers shared by every layer: ASCII case
// folding, case-insensitive comparison, C-style number parsing and the
// escaping of control bytes for display.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tamarind::platform {

constexpr char ToLowerAscii(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }
constexpr bool IsDigitAscii(char c) { return c >= '0' && c <= '9'; }

std::string ToLowerAscii(std::string_view text);

// Equality and prefix tests that fold ASCII letters only; other bytes
// (UTF-8 or not) compare as they are.
bool EqualsIgnoringCase(std::string_view a, std::string_view b);
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

// Reads like C's atoi: optional sign, the digits up to the first other
// character, 0 when there are none; held to the int32_t range.
int32_t LeadingInt(std::string_view text);

// A plain decimal number (digits only, no sign, no blanks) that fits in
// int64_t; nullopt for anything else.
std::optional<int64_t> ParseDecimal(std::string_view text);

// |text| with bytes below 0x20 and 0x7F written as escapes ("\n", "\r",
// "\t", "\x1b"); a backslash stays as it is. Other bytes pass unchanged, so
// names that are not UTF-8 still print. Names shown in reports, logs and
// progress lines go through this, so a file name cannot forge a line.
std::string EscapeControlBytes(std::string_view text);

}  // namespace tamarind::platform
