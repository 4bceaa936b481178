// The window side of the program, opened when the command line asks for no
// conversion.
#pragma once

#include <functional>
#include <string>

namespace tamarind::gui {

// The desktop entry's name, by which a desktop matches the window to its
// entry (icon, name).
inline constexpr const char* kDesktopFileName = "io.github.tamarind_fax.tamarind";

// Opens the main window and runs it; returns 1 after "E&xit", 2 after the
// close box, and 3 when no display can be reached. With |fileToOpen| (not
// "") the viewer opens on that fax instead, changing no setting; it ends
// with 0 when it closes, unless its "Convert..." opened the main window,
// whose status it then ends with.
int RunFrontEnd(int argc, char** argv, const std::string& fileToOpen = {});

// True when Qt can be expected to reach a display: a platform was chosen
// explicitly, or an X11 or Wayland display is named. |environment| returns
// a variable's value ("" when unset).
bool DisplayAvailable(const std::function<std::string(const char*)>& environment);

}  // namespace tamarind::gui
