// Shared set-up of the window's tests: a private settings file and log, a
// main window on the offscreen platform, and message boxes recorded
// instead of shown.
#pragma once

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTreeWidget>
#include <memory>
#include <string>
#include <vector>

#include "convert/process.h"
#include "gui/control_ids.h"
#include "gui/convert_page.h"
#include "gui/dialog_units.h"
#include "gui/main_dialog.h"
#include "gui/messages.h"
#include "gui/options_page.h"
#include "support/test_files.h"
#include "window/file_selection.h"

namespace tamarind::gui {

template <typename Widget>
Widget* Control(const QWidget* root, int id) {
  Widget* widget = root->findChild<Widget*>(ControlName(id));
  EXPECT_NE(widget, nullptr) << "control " << id;
  return widget;
}

// What the view's delegate asks for the widest cell of |column| among the
// rows: Qt's own measure, margins included.
inline int WidestCell(QTreeWidget* list, int column) {
  struct Measure : QTreeWidget {
    using QTreeWidget::sizeHintForColumn;
  };
  return (list->*&Measure::sizeHintForColumn)(column);
}

class WindowTest : public ::testing::Test {
 protected:
  void SetUp() override {
    processPaths = ProcessPaths{};
    processPaths.settingsPath = dir.File("tamarind.ini");
    processPaths.logPath = dir.File("log/tmdlog.txt");
    processPaths.modulePath = dir.File("tamarind");
    processPaths.tempFolder = dir.Path();
    conversionSettings = ConversionSettings{};
  }
  void TearDown() override {
    if (window) window->CloseAll(2);
  }

  // Opens the window on the settings file as it stands now.
  MainDialog& Open() {
    window = std::make_unique<MainDialog>(processPaths.settingsPath);
    window->SetMessagePresenter([this](QWidget*, const Message& message) -> QWidget* {
      messages.push_back(message.caption.toStdString() + ": " + message.text.toStdString());
      return nullptr;
    });
    window->show();
    return *window;
  }

  ConvertPage& Page() { return *window->Convert(); }
  OptionsPage& Options() { return *window->Options(); }

  void SetText(int id, const std::string& text) {
    Control<QLineEdit>(window.get(), id)->setText(QString::fromStdString(text));
  }
  void Click(int id) { Control<QAbstractButton>(window.get(), id)->click(); }
  bool IsChecked(int id) { return Control<QAbstractButton>(window.get(), id)->isChecked(); }

  // Chooses "Convert File(s)" on the Options tab, as a user does, then
  // types |names| in the scratch folder as the source and its "out" as the
  // destination; |converter|, when given, stands in for the conversion.
  void ChooseFiles(const std::vector<std::string>& names, FileConverter converter = nullptr) {
    if (converter) Page().SetFileConverter(std::move(converter));
    window->Tabs()->setCurrentIndex(1);
    Options().ChooseSourceKind(true);
    window->Tabs()->setCurrentIndex(0);
    SetText(kIdSource, FormatFileSelection(dir.Path(), names));
    SetText(kIdDestination, dir.File("out"));
  }

  // Presses Go and waits for the run to end.
  void RunAndWait(bool byTimer = false) {
    QSignalSpy finished(&Page(), &ConvertPage::RunFinished);
    if (byTimer) Page().OnAutoConvertTick();
    else Click(kIdGo);
    ASSERT_TRUE(Page().Running()) << (messages.empty() ? "" : messages.back());
    ASSERT_TRUE(finished.wait(60000));
  }

  // Types the source (a folder, or a folder and the files chosen in it) and
  // the destination, presses Go and waits for the run to end.
  void RunFromTo(const std::string& source, const std::string& destination) {
    SetText(kIdSource, source);
    SetText(kIdDestination, destination);
    RunAndWait();
  }

  test::ScopedTempDir dir;
  std::unique_ptr<MainDialog> window;
  std::vector<std::string> messages;
};

}  // namespace tamarind::gui
