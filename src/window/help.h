// The manual the window's Help opens.
#pragma once

#include <string>
#include <string_view>

#include "platform/outcome.h"

namespace tamarind {

// Where the installed HTML manual lies, relative to the executable's
// folder ("../share/tamarind/manual.html"); the build sets it from its
// install folders, so an installed tree can be moved as a whole.
extern const std::string_view kInstalledManual;

// The manual Help opens. Beside the executable when the program runs from
// a folder of its own (portable, or the build tree): the ".chm" named after
// it, else the HTML manual named after it. Otherwise the installed manual,
// |installedManual| from the executable's folder. Fails with "Help file not
// found: PATH", PATH being the installed manual's place, when none exists.
platform::Expected<std::string> HelpDocumentPath(const std::string& modulePath,
                                                 std::string_view installedManual = kInstalledManual);

}  // namespace tamarind
