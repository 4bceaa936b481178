// From process start to the end of a command-line run or the hand-over to
// the front end.
#pragma once

#include <functional>
#include <span>
#include <string>

#include "convert/conversion_job.h"

namespace tamarind {

// Opens the front end and returns the process exit code; |fileToOpen| is a
// fax to take as the source ("" for none). The front end is a layer above
// this one, so main() hands it in; null when not built.
using FrontEnd = std::function<int(const std::string& fileToOpen)>;

// Exit codes of a command-line run.
inline constexpr int kExitConverted = 0;
inline constexpr int kExitFailures = 2;
// No front end in this build, or it could not open.
inline constexpr int kExitNoFrontEnd = 3;
// A switch was refused: nothing was converted.
inline constexpr int kExitUsage = 64;

// The fax a desktop asks the window to open ("Open with"): the only
// argument, when it is no switch but an existing WinFax file (named as
// conversion needs it), as an absolute path; "" for anything else.
std::string FileToOpen(std::span<const std::string> arguments);

// The whole program: |arguments| are argv without the program name.
int RunProgram(std::span<const std::string> arguments, const FrontEnd& frontEnd);

// A parsed command-line job: converts, logs, prints the report unless quiet.
// 0 when every file converted or was skipped, 2 otherwise.
int RunCommandLine(ConversionJob& job);

}  // namespace tamarind
