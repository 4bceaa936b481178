// The Windows program's window, opened when no valid command line is given.
#pragma once

#include <string>

namespace tamarind::win32 {

// Runs the window until it closes and returns the exit code: 1 after
// "E&xit", 2 after the close box, 0 when it could not be created.
// |fileToOpen| is a fax to take as the source ("" for none).
int RunFrontEnd(const std::string& fileToOpen);

}  // namespace tamarind::win32
