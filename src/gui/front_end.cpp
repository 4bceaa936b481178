#include "gui/front_end.h"

#include <QApplication>
#include <QMessageBox>
#include <cstdlib>
#include <vector>

#include "cli/startup.h"
#include "convert/process.h"
#include "gui/artwork.h"
#include "gui/look.h"
#include "gui/main_dialog.h"
#include "platform/console.h"
#include "window/file_selection.h"
#include "window/gui_run.h"

namespace tamarind::gui {

bool DisplayAvailable(const std::function<std::string(const char*)>& environment) {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
    if (!environment(name).empty()) return true;
  return false;
}

int RunFrontEnd(int argc, char** argv, const std::string& fileToOpen) {
  auto environment = [](const char* name) {
    const char* value = std::getenv(name);
    return std::string(value ? value : "");
  };
  // Qt would abort with a plugin message; say plainly what is missing.
  if (!DisplayAvailable(environment)) {
    platform::WriteErr(
        "tamarind: cannot open the window: no display (DISPLAY and WAYLAND_DISPLAY are not set).\n"
        "Convert from the command line instead, with /f= and /sf= or /d= and /sd= (see tamarind --help).\n");
    return kExitNoFrontEnd;
  }
  QApplication application(argc, argv);
  QApplication::setQuitOnLastWindowClosed(false);
  QApplication::setWindowIcon(AppIcon());
  QGuiApplication::setDesktopFileName(QString::fromLatin1(kDesktopFileName));
  MainDialog dialog(processPaths.settingsPath);
  QObject::connect(&dialog, &MainDialog::Closed, &application, [](int code) { QApplication::exit(code); });
  // Before the timer starts: a file as the source leaves no automatic
  // conversion running.
  if (!fileToOpen.empty()) dialog.TakeSource(SourceFromDrop(std::vector<std::string>{fileToOpen}));
  dialog.ApplyAutoConvert();
  dialog.show();
  const int exitCode = QApplication::exec();
  if (!dialog.SettingsError().empty())
    QMessageBox::warning(nullptr, QStringLiteral("Tamarind"),
                         QStringLiteral("The settings could not be saved:\n") + ToDisplay(dialog.SettingsError()));
  return exitCode;
}

}  // namespace tamarind::gui
