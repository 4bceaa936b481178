// How the process meets its starter: its arguments and its console.
#pragma once

#include <string>
#include <vector>

namespace tamarind::platform {

// The arguments after the program's name, as UTF-8. On Windows they come
// from the UTF-16 command line (GetCommandLineW), split as the C runtime
// splits it, so names in any script survive; |argv| there holds only what
// the ANSI code page can spell.
std::vector<std::string> ProgramArguments(int argc, char** argv);

// Windows: the program is a window program, so a console it was started
// from is not its own; this attaches to it, so that standard output and
// error reach it (a redirected handle is kept as it is). False when there
// is nothing to write to: no console and no redirection, as when started
// from the desktop. Elsewhere always true.
bool AttachToStarterConsole();

}  // namespace tamarind::platform
