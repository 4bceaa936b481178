// Texts of the command line: usage, help and version.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "convert/conversion_job.h"

namespace tamarind {

// ParseCommandLine's result when a switch was refused.
inline constexpr int kParseRefused = 64;
// The largest worker count "/j=" takes.
inline constexpr int kMaxWorkerSwitch = 9999;
// The longest rescan period "/watch=" takes, in seconds (24 days, as the
// window's timer).
inline constexpr int kMaxWatchSeconds = 2147483;

inline constexpr std::string_view kVersionText = "Tamarind 3.00, build 0903";

// The three usage lines, exactly as printed when no destination switch is
// given.
std::string_view UsageText();
// The usage lines followed by a description of every switch.
std::string_view HelpText();
// The command line as one text (nullopt: there was none), into |job|'s
// options and file list. 0 valid; -1 no text; -2 empty text; 126 no
// destination switch or empty destination; kParseRefused when a switch has
// a value it cannot take (see job.parseDiagnostics).
int ParseCommandLine(ConversionJob& job, std::optional<std::string_view> text);
// The same for arguments already split by the shell, one token each.
int ParseArguments(ConversionJob& job, std::span<const std::string> arguments);
// True when |token| is one of the conversion's switches ("/f=a.fxd", "/I").
bool IsSwitch(std::string_view token);
// Printed on standard error when the destination switch has no value.
inline constexpr std::string_view kMissingDestinationMessage =
    "Please set save folder with '/sd=' or '/sf=', and be sure it is not the same as source folder";
inline constexpr std::string_view kMissingDestinationCaption = "ERROR Save Folder";

}  // namespace tamarind
