#include <string>
#include <vector>

#include "cli/startup.h"
#include "platform/program.h"
#ifdef TAMARIND_WITH_GUI
#include "gui/front_end.h"
#endif
#ifdef TAMARIND_WITH_WIN32
#include "win32/front_end.h"
#endif

int main(int argc, char** argv) {
  // A command-line run started from a console writes to it; the window
  // needs none.
  tamarind::platform::AttachToStarterConsole();
  const std::vector<std::string> arguments = tamarind::platform::ProgramArguments(argc, argv);
  tamarind::FrontEnd frontEnd;
#ifdef TAMARIND_WITH_GUI
  frontEnd = [&](const std::string& fileToOpen) { return tamarind::gui::RunFrontEnd(argc, argv, fileToOpen); };
#endif
#ifdef TAMARIND_WITH_WIN32
  frontEnd = [](const std::string& fileToOpen) { return tamarind::win32::RunFrontEnd(fileToOpen); };
#endif
  return tamarind::RunProgram(arguments, frontEnd);
}
