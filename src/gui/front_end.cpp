#include "gui/front_end.h"

#include <QApplication>
#include <QMessageBox>
#include <QPointer>
#include <cstdlib>
#include <memory>
#include <vector>

#include "cli/startup.h"
#include "convert/process.h"
#include "gui/artwork.h"
#include "gui/fax_viewer.h"
#include "gui/look.h"
#include "gui/main_dialog.h"
#include "platform/console.h"
#include "window/gui_run.h"

namespace tamarind::gui {

bool DisplayAvailable(const std::function<std::string(const char*)>& environment) {
  for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
    if (!environment(name).empty()) return true;
  return false;
}

namespace {

// The viewer alone, as a desktop opens a fax with the program: nothing is
// read from or written to the settings until "Convert..." opens the main
// window, which then takes the fax for this session only. Ends with 0 when
// the viewer closes before any main window, else with the main window's
// status.
int RunViewer(const std::string& path) {
  std::unique_ptr<MainDialog> dialog;
  QPointer<FaxViewer> viewer = new FaxViewer(ToDisplay(path));
  QObject::connect(viewer, &FaxViewer::ConvertRequested, viewer, [&dialog](const QString& fax) {
    if (!dialog) {
      dialog = std::make_unique<MainDialog>(processPaths.settingsPath);
      QObject::connect(dialog.get(), &MainDialog::Closed, qApp, [](int code) { QApplication::exit(code); });
      dialog->TakeOneOffSource(FromControl(fax));
      dialog->ApplyAutoConvert();
      dialog->show();
    } else {
      dialog->TakeOneOffSource(FromControl(fax));
    }
  });
  QObject::connect(viewer, &QObject::destroyed, qApp, [&dialog] {
    if (!dialog) QApplication::exit(0);
  });
  viewer->show();
  const int exitCode = QApplication::exec();
  delete viewer.data();
  if (dialog && !dialog->SettingsError().empty())
    QMessageBox::warning(nullptr, QStringLiteral("Tamarind"),
                         QStringLiteral("The settings could not be saved:\n") + ToDisplay(dialog->SettingsError()));
  return exitCode;
}

}  // namespace

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
  if (!fileToOpen.empty()) return RunViewer(fileToOpen);
  MainDialog dialog(processPaths.settingsPath);
  QObject::connect(&dialog, &MainDialog::Closed, &application, [](int code) { QApplication::exit(code); });
  dialog.ApplyAutoConvert();
  dialog.show();
  const int exitCode = QApplication::exec();
  if (!dialog.SettingsError().empty())
    QMessageBox::warning(nullptr, QStringLiteral("Tamarind"),
                         QStringLiteral("The settings could not be saved:\n") + ToDisplay(dialog.SettingsError()));
  return exitCode;
}

}  // namespace tamarind::gui
