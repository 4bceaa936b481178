#include <string>
#include <vector>

#include "cli/startup.h"
#ifdef TAMARIND_WITH_GUI
#include "gui/front_end.h"
#endif

int main(int argc, char** argv) {
  std::vector<std::string> arguments(argv + 1, argv + argc);
  tamarind::FrontEnd frontEnd;
#ifdef TAMARIND_WITH_GUI
  frontEnd = [&](const std::string& fileToOpen) { return tamarind::gui::RunFrontEnd(argc, argv, fileToOpen); };
#endif
  return tamarind::RunProgram(arguments, frontEnd);
}
