// The main window's ways out, its notification menu, the About box and the
// screenshots of the manual.
#include <gmock/gmock.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QEnterEvent>
#include <QMenu>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>

#include "app/command_line.h"
#include "gui/about_dialog.h"
#include "gui/artwork.h"
#include "gui/bitmap_button.h"
#include "gui/front_end.h"
#include "gui/hyper_link.h"
#include "gui_fixture.h"

namespace tamarind::gui {
namespace {

using ::testing::ElementsAre;

int ClosedWith(MainDialog& main, const std::function<void()>& action) {
  QSignalSpy closed(&main, &MainDialog::Closed);
  action();
  EXPECT_EQ(closed.count(), 1);
  EXPECT_TRUE(main.IsClosed());
  return closed.isEmpty() ? -1 : closed.front().front().toInt();
}

TEST_F(WindowTest, ExitAndEnterEndWithOneCloseBoxAndEscWithTwo) {
  {
    MainDialog& main = Open();
    QAction* exit = main.TrayMenu()->actions().at(2);
    EXPECT_EQ(ClosedWith(main, [&] { exit->trigger(); }), 1);
    EXPECT_TRUE(test::FileExists(processPaths.settingsPath));
  }
  {
    MainDialog& main = Open();
    Control<QWidget>(&main, kIdFilter)->setFocus();
    EXPECT_EQ(ClosedWith(main, [&] { QTest::keyClick(&main, Qt::Key_Return); }), 1);
  }
  {
    MainDialog& main = Open();
    EXPECT_EQ(ClosedWith(main, [&] { QTest::keyClick(&main, Qt::Key_Escape); }), 2);
  }
  {
    MainDialog& main = Open();
    EXPECT_EQ(ClosedWith(main, [&] { main.close(); }), 2);
  }
}

TEST_F(WindowTest, NoButtonLooksDefaultAndEnterOnAnyOfThemEnds) {
  for (int id : {kIdGo, kIdHelp, kIdAbout}) {
    MainDialog& main = Open();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
    auto* button = Control<QPushButton>(&main, id);
    button->setFocus();
    ASSERT_FALSE(button->isDefault()) << id;  // else Enter would press it
    EXPECT_EQ(ClosedWith(main, [&] { QTest::keyClick(button, Qt::Key_Return); }), 1) << id;
    EXPECT_TRUE(messages.empty()) << id;
  }
}

// The control and what is drawn just around it.
QImage Surroundings(QWidget* control) {
  QApplication::processEvents();
  return control->parentWidget()->grab(control->geometry().adjusted(-4, -4, 4, 4)).toImage();
}

// Presses Tab until |control| has the focus; false when it never gets it.
bool TabTo(QWidget* control) {
  for (int presses = 0; presses < 30 && !control->hasFocus(); ++presses)
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
  return control->hasFocus();
}

TEST_F(WindowTest, KeyboardFocusIsVisibleOnEveryControlThatTakesIt) {
  MainDialog& main = Open();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  for (int id : {kIdBrowseSource, kIdBrowseDestination, kIdGo, kIdResults}) {
    auto* control = Control<QWidget>(&main, id);
    ASSERT_TRUE(TabTo(control)) << id;
    QImage focused = Surroundings(control);
    QTest::keyClick(control, Qt::Key_Tab);
    ASSERT_FALSE(control->hasFocus()) << id;
    EXPECT_TRUE(Surroundings(control) != focused) << id;
  }
}

TEST_F(WindowTest, HelpAndAboutSitInTheMiddleOfTheirFrameAtEveryFontSize) {
  const QFont desktop = QApplication::font();
  for (int points : {6, 9, 16}) {
    QFont font = desktop;
    font.setPointSize(points);
    QApplication::setFont(font);
    MainDialog& main = Open();
    QRect frame = Control<QWidget>(&main, kIdButtonFrame)->geometry();
    QRect help = Control<QWidget>(&main, kIdHelp)->geometry();
    QRect about = Control<QWidget>(&main, kIdAbout)->geometry();
    EXPECT_NEAR(help.left() - frame.left(), frame.right() - about.right(), 1) << points;
    EXPECT_LT(help.right(), about.left()) << points;
  }
  QApplication::setFont(desktop);
}

TEST_F(WindowTest, NotificationMenuOffersOpenAboutExitWithOpenAsDefault) {
  MainDialog& main = Open();
  QList<QAction*> items = main.TrayMenu()->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[0]->text(), "&Open...");
  EXPECT_EQ(items[1]->text(), "&About...");
  EXPECT_EQ(items[2]->text(), "E&xit");
  EXPECT_EQ(items[0]->data().toInt(), kIdOpen);
  EXPECT_EQ(main.TrayMenu()->defaultAction(), items[0]);
}

TEST_F(WindowTest, AutoConvertMessageStartsAndStopsTheTimer) {
  MainDialog& main = Open();
  main.AutoConvert(2, 1);
  EXPECT_TRUE(Page().AutoConvertActive());
  EXPECT_EQ(Page().AutoConvertIntervalMs(), 120000);
  main.AutoConvert(2, 7);  // anything but 1 stops it
  EXPECT_FALSE(Page().AutoConvertActive());
  main.AutoConvert(0, 1);  // held to one minute
  EXPECT_EQ(Page().AutoConvertIntervalMs(), 60000);
}

// The notification area may appear after the program started (as at
// login): the icon exists from the start, and minimising hides the window
// only while there is an area to bring it back from.
TEST_F(WindowTest, MinimisingHidesTheWindowOnlyWhileThereIsANotificationArea) {
  for (bool area : {false, true}) {
    MainDialog& main = Open();
    EXPECT_NE(main.TrayIcon(), nullptr);
    main.SetTrayProbe([area] { return area; });
    main.showMinimized();
    QApplication::processEvents();
    EXPECT_EQ(main.isVisible(), !area) << area;
    main.Restore();
    EXPECT_TRUE(main.isVisible());
    EXPECT_FALSE(main.isMinimized());
  }
}

TEST(FrontEnd, WithoutDisplayTheProgramSaysSoAndFails) {
  test::ScopedTempDir dir;
  test::CommandResult result = test::RunCommand(
      "cd " + test::ShellQuote(dir.Path()) + " && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM XDG_CONFIG_HOME=" +
      test::ShellQuote(dir.Path()) + " XDG_STATE_HOME=" + test::ShellQuote(dir.Path()) + " " +
      test::ShellQuote(test::BinaryDir() + "/tamarind") + " 2>&1");
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_THAT(result.output, ::testing::HasSubstr("cannot open the window: no display"));
}

TEST(AboutBox, LinksVersionAndCopyShortcuts) {
  AboutDialog about;
  EXPECT_EQ(about.windowTitle(), "About Tamarind");
  EXPECT_NE(about.findChild<QLabel*>(), nullptr);
  bool versionShown = false;
  for (QLabel* label : about.findChildren<QLabel*>()) versionShown |= label->text() == "Tamarind 3.00, build 0903";
  EXPECT_TRUE(versionShown);
  EXPECT_EQ(about.HomeLink()->Target(), "https://github.com/tamarind-fax/tamarind");
  EXPECT_EQ(about.SupportLink()->Target(), "mailto:support@tamarind-fax.org");
  EXPECT_EQ(about.SupportLink()->text(), "Support: support@tamarind-fax.org");
  EXPECT_EQ(about.LinkMenu()->actions().at(0)->text(), "Copy Shortcuts");

  about.show();
  QApplication::clipboard()->setText("before");
  QPoint support = about.SupportLink()->geometry().center();
  QContextMenuEvent overSupport(QContextMenuEvent::Mouse, support, about.mapToGlobal(support));
  QApplication::sendEvent(&about, &overSupport);
  EXPECT_FALSE(about.LinkMenu()->isVisible());
  about.CopyShortcut();
  EXPECT_EQ(QApplication::clipboard()->text(), "before");

  QPoint home = about.HomeLink()->geometry().center();
  QContextMenuEvent overHome(QContextMenuEvent::Mouse, home, about.mapToGlobal(home));
  QApplication::sendEvent(&about, &overHome);
  EXPECT_TRUE(about.LinkMenu()->isVisible());
  about.LinkMenu()->actions().at(0)->trigger();
  about.LinkMenu()->hide();
  EXPECT_EQ(QApplication::clipboard()->text(), "https://github.com/tamarind-fax/tamarind");
}

TEST(AboutBox, EnterPressesOkAndOpensNoLink) {
  AboutDialog about;
  std::vector<QUrl> opened;
  for (HyperLink* link : {about.HomeLink(), about.SupportLink()})
    link->SetOpener([&](const QUrl& url) {
      opened.push_back(url);
      return true;
    });
  about.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
  auto* ok = Control<QPushButton>(&about, kIdOk);
  EXPECT_TRUE(ok->hasFocus());
  EXPECT_TRUE(ok->isDefault());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_TRUE(opened.empty());
  EXPECT_FALSE(about.isVisible());
  EXPECT_EQ(about.result(), QDialog::Accepted);
}

TEST(AboutBox, LinkTurnsPurpleOnlyWhenOpened) {
  HyperLink link(QString{});
  link.SetTarget("https://example.org/");
  EXPECT_EQ(link.text(), "https://example.org/");
  EXPECT_EQ(link.toolTip(), "https://example.org/");
  EXPECT_EQ(link.CurrentColour(), QColor(0, 0, 255));
  std::vector<QUrl> opened;
  link.SetOpener([&](const QUrl& url) {
    opened.push_back(url);
    return false;
  });
  link.show();
  QTest::mouseClick(&link, Qt::LeftButton);
  EXPECT_FALSE(link.Visited());
  link.SetOpener([&](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  link.setFocus();
  QTest::keyClick(&link, Qt::Key_Space);
  EXPECT_TRUE(link.Visited());
  EXPECT_EQ(link.CurrentColour(), QColor(128, 0, 128));
  EXPECT_EQ(opened.size(), 2u);
}

TEST(BrowseButton, ShowsTheImageOfItsState) {
  BitmapButton button(BrowseImages());
  QSignalSpy clicked(&button, &QAbstractButton::clicked);
  button.show();
  EXPECT_EQ(button.CurrentImage(), kBrowseNormal);
  QEnterEvent enter(QPointF(1, 1), QPointF(1, 1), QPointF(1, 1));
  QApplication::sendEvent(&button, &enter);
  EXPECT_EQ(button.CurrentImage(), kBrowseHover);
  button.setDown(true);
  EXPECT_EQ(button.CurrentImage(), kBrowsePushed);
  button.setDown(false);
  button.setEnabled(false);
  EXPECT_EQ(button.CurrentImage(), kBrowseDisabled);
  button.setEnabled(true);
  QTest::keyClick(&button, Qt::Key_Space);
  EXPECT_EQ(clicked.count(), 1);
}

// Saves the window's pictures for the manual under the build tree, and
// into docs/ when TAMARIND_UPDATE_SCREENSHOTS is set.
void SaveShot(QWidget& widget, const std::string& name) {
  QApplication::processEvents();
  QPixmap shot = widget.grab();
  std::string folder = test::BinaryDir() + "/screenshots";
  std::filesystem::create_directories(folder);
  ASSERT_TRUE(shot.save(QString::fromStdString(folder + "/" + name)));
  if (!qEnvironmentVariableIsEmpty("TAMARIND_UPDATE_SCREENSHOTS")) {
    ASSERT_TRUE(shot.save(QString::fromStdString(test::SourceDir() + "/docs/" + name)));
  }
}

TEST_F(WindowTest, Screenshots) {
  namespace fs = std::filesystem;
  // Short, plausible paths: the shots go into the manual.
  std::string in = dir.File("faxes");
  fs::create_directories(in);
  for (const char* name : {"fine-g3.fxs", "multipage.fxd", "standard-g4.fxr"})
    fs::copy_file(test::SourceDir() + "/samples/" + name, in + "/" + name);
  test::WriteFileText(in + "/cover.fxd", "not a fax");
  MainDialog& main = Open();
  SetText(kIdSource, in);
  SetText(kIdDestination, dir.File("jpeg"));
  RunAndWait();
  SaveShot(main, "screenshot-convert.png");
  main.Tabs()->setCurrentIndex(1);
  SaveShot(main, "screenshot-options.png");
  AboutDialog about(&main);
  about.show();
  SaveShot(about, "screenshot-about.png");
}

}  // namespace
}  // namespace tamarind::gui
