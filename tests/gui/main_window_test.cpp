// The main window's ways out, its notification menu, the About box and the
// screenshots of the manual.
#include <gmock/gmock.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDragEnterEvent>
#include <QDropEvent>
#include <QEnterEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QListWidget>
#include <QMenu>
#include <QMimeData>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTreeWidget>
#include <filesystem>
#include <map>
#include <set>
#include <thread>

#include "cli/command_line.h"
#include "gui/about_dialog.h"
#include "gui/artwork.h"
#include "gui/bitmap_button.h"
#include "gui/fax_viewer.h"
#include "gui/front_end.h"
#include "gui/hyper_link.h"
#include "gui/page_view.h"
#include "gui/preview_pane.h"
#include "gui/results_list.h"
#include "gui_fixture.h"
#include "support/fax_files.h"
#include "window/profile.h"
#include "window/theme_colours.h"

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

// The notification menu offers Open (its default), About and Exit; Exit
// ends with 1, the close box with 2.
TEST_F(WindowTest, NotificationMenuExitEndsWithOneAndTheCloseBoxWithTwo) {
  {
    MainDialog& main = Open();
    QList<QAction*> items = main.TrayMenu()->actions();
    ASSERT_EQ(items.size(), 3);
    EXPECT_EQ(items[0]->text(), "&Open...");
    EXPECT_EQ(items[1]->text(), "&About...");
    EXPECT_EQ(items[2]->text(), "E&xit");
    EXPECT_EQ(main.TrayMenu()->defaultAction(), items[0]);
    EXPECT_EQ(ClosedWith(main, [&] { items[2]->trigger(); }), 1);
    EXPECT_TRUE(test::FileExists(processPaths.settingsPath));
  }
  {
    MainDialog& main = Open();
    EXPECT_EQ(ClosedWith(main, [&] { main.close(); }), 2);
  }
}

// Enter in a box moves on to the next control, as a typed path is done;
// Enter anywhere, Esc with nothing running, never closes the window.
TEST_F(WindowTest, EnterInABoxMovesOnAndNeitherEnterNorEscCloses) {
  MainDialog& main = Open();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  QSignalSpy closed(&main, &MainDialog::Closed);
  for (int id : {kIdFilter, kIdSource, kIdDestination}) {
    auto* box = Control<QLineEdit>(&main, id);
    box->setFocus();
    QTest::keyClicks(box, "/srv/fax");
    QTest::keyClick(box, Qt::Key_Return);
    EXPECT_FALSE(box->hasFocus()) << id;
    EXPECT_THAT(box->text().toStdString(), ::testing::EndsWith("/srv/fax")) << id;
  }
  main.Tabs()->setCurrentIndex(1);
  for (int id : {kIdQuality, kIdMinutes}) {
    auto* box = Control<QLineEdit>(&main, id);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_FALSE(box->hasFocus()) << id;
  }
  main.Tabs()->setCurrentIndex(0);
  Control<QWidget>(&main, kIdResults)->setFocus();
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_EQ(closed.count(), 0);
  EXPECT_FALSE(main.IsClosed());
  EXPECT_TRUE(main.isVisible());
  EXPECT_TRUE(messages.empty());
}

// Enter presses the button that has the focus: Go starts a run; Esc during
// a run asks, and only Yes cancels it.
TEST_F(WindowTest, EnterPressesTheFocusedButtonAndEscAsksBeforeCancelling) {
  MainDialog& main = Open();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  std::atomic<bool> release{false};
  ChooseFiles({"a.fxd", "b.fxd", "c.fxd"}, [&](ConversionJob&, const std::string&, const std::string&) {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return FileOutcome{};
  });
  std::vector<std::string> questions;
  bool answerYes = false;
  main.SetQuestionPresenter([&](QWidget*, const Message& message, std::function<void()> onYes) {
    questions.push_back(message.text.toStdString());
    if (answerYes) onYes();
  });
  QSignalSpy finished(&Page(), &ConvertPage::RunFinished);
  auto* go = Control<QPushButton>(&main, kIdGo);
  go->setFocus();
  QTest::keyClick(go, Qt::Key_Return);
  ASSERT_TRUE(Page().Running());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  EXPECT_THAT(questions, ElementsAre("A conversion is running.\nCancel it after the file in progress?"));
  EXPECT_TRUE(Page().Running());
  answerYes = true;
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
  release = true;
  ASSERT_TRUE(finished.count() == 1 || finished.wait(10000));
  EXPECT_THAT(Page().StatusText().toStdString(), ::testing::StartsWith("Cancelled. "));
  EXPECT_FALSE(main.IsClosed());
  // Help and About answer Enter too.
  std::vector<QUrl> opened;
  main.SetOpener([&](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  test::WriteFileText(dir.File("tamarind.html"), "<html></html>");
  auto* help = Control<QPushButton>(&main, kIdHelp);
  help->setFocus();
  QTest::keyClick(help, Qt::Key_Return);
  EXPECT_THAT(opened, ElementsAre(QUrl::fromLocalFile(QString::fromStdString(dir.File("tamarind.html")))));
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

// Without a manual beside the program or installed, Help says where the
// installed one should be; with one that no program opens, it names it.
TEST_F(WindowTest, HelpSaysWhereItLookedOrWhatNothingOpens) {
  MainDialog& main = Open();
  main.SetOpener([](const QUrl&) { return false; });
  Click(kIdHelp);
  ASSERT_EQ(messages.size(), 1u);
  EXPECT_THAT(messages[0], ::testing::StartsWith("Tamarind: Help file not found: /"));
  EXPECT_THAT(messages[0], ::testing::EndsWith("/share/tamarind/manual.html"));
  test::WriteFileText(dir.File("tamarind.html"), "<html></html>");
  Click(kIdHelp);
  EXPECT_EQ(messages.back(), "Tamarind: No program on this desktop opens\n" + dir.File("tamarind.html"));
}

// The window's colours come from the desktop theme: a dark theme gives a
// dark window whose texts read well, not the fixed mint and blue.
TEST_F(WindowTest, ColoursFollowALightOrDarkDesktopTheme) {
  const QPalette desktop = QApplication::palette();
  for (bool dark : {false, true}) {
    QPalette theme = desktop;
    theme.setColor(QPalette::Window, dark ? QColor(49, 54, 59) : QColor(239, 239, 239));
    theme.setColor(QPalette::WindowText, dark ? QColor(239, 240, 241) : QColor(0, 0, 0));
    theme.setColor(QPalette::Base, dark ? QColor(35, 38, 41) : QColor(255, 255, 255));
    theme.setColor(QPalette::Text, dark ? QColor(239, 240, 241) : QColor(0, 0, 0));
    QApplication::setPalette(theme);
    Open();
    for (QWidget* surface :
         {static_cast<QWidget*>(window.get()), static_cast<QWidget*>(&Page()), static_cast<QWidget*>(&Options())}) {
      const QPalette shown = surface->palette();
      auto rgb = [](const QColor& c) { return Rgb{c.red(), c.green(), c.blue()}; };
      EXPECT_EQ(shown.color(QPalette::Window).lightness() < 128, dark);
      EXPECT_GE(ContrastRatio(rgb(shown.color(QPalette::WindowText)), rgb(shown.color(QPalette::Window))),
                kReadableContrast);
      EXPECT_GE(ContrastRatio(rgb(shown.color(QPalette::Text)), rgb(shown.color(QPalette::Base))), kReadableContrast);
    }
    window->CloseAll(2);
  }
  QApplication::setPalette(desktop);
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

TEST_F(WindowTest, GrowingTheWindowGivesTheRoomToTheListAndTheSizeIsRemembered) {
  MainDialog& main = Open();
  // It opens wide enough for the list and the preview side by side; at its
  // smallest, the list has the room alone.
  EXPECT_TRUE(Page().Preview()->isVisible());
  const QSize base = main.minimumSize();
  main.resize(base);
  QApplication::processEvents();
  EXPECT_FALSE(Page().Preview()->isVisible());
  auto placeOf = [&](int id) { return Control<QWidget>(&main, id)->geometry(); };
  auto listArea = [&] {
    const PreviewPane* preview = Page().Preview();
    return preview->isVisible() ? placeOf(kIdResults).united(preview->geometry()) : placeOf(kIdResults);
  };
  std::map<int, QRect> before;
  for (int id : {kIdGo, kIdStop, kIdFilterLabel, kIdFilter, kIdBrowseSource, kIdProgress, kIdStatus})
    before[id] = placeOf(id);
  const QRect areaBefore = listArea();
  std::vector<QRect> options;
  for (QGroupBox* group : Options().findChildren<QGroupBox*>()) options.push_back(group->geometry());

  const QSize extra(240, 100);  // the offscreen screen is 800 x 600
  main.resize(base + extra);
  QApplication::processEvents();
  for (int id : {kIdGo, kIdStop, kIdFilterLabel}) EXPECT_EQ(placeOf(id), before[id]) << id;
  EXPECT_EQ(placeOf(kIdFilter), before[kIdFilter].adjusted(0, 0, extra.width(), 0));
  EXPECT_EQ(placeOf(kIdBrowseSource), before[kIdBrowseSource].translated(extra.width(), 0));
  for (int id : {kIdProgress, kIdStatus})
    EXPECT_EQ(placeOf(id), before[id].translated(0, extra.height()).adjusted(0, 0, extra.width(), 0)) << id;
  EXPECT_EQ(listArea(), areaBefore.adjusted(0, 0, extra.width(), extra.height()));
  EXPECT_TRUE(Page().Preview()->isVisible());
  EXPECT_GT(placeOf(kIdResults).width(), Page().Preview()->width());
  // The options spread over the room: both groups grow, the right one
  // moves right, and every control stays inside its group.
  auto* sourceGroup = Options().findChildren<QGroupBox*>().at(0);
  auto* destinationGroup = Options().findChildren<QGroupBox*>().at(1);
  EXPECT_GT(sourceGroup->width(), options[0].width());
  EXPECT_GT(destinationGroup->x(), options[1].x());
  for (int id : {kIdKeepDate, kIdQuality, kIdOptimize})
    EXPECT_TRUE(destinationGroup->geometry().contains(Control<QWidget>(&main, id)->geometry())) << id;
  const QRect frame = placeOf(kIdButtonFrame);
  EXPECT_NEAR(placeOf(kIdHelp).left() - frame.left(), frame.right() - placeOf(kIdAbout).right(), 1);

  // The size comes back, kept in dialog units.
  main.CloseAll(2);
  const DialogUnits units(main.font());
  const QSize saved = units.UnitsOf(base + extra);
  EXPECT_EQ(ProfileFile::Load(processPaths.settingsPath).GetString("Main", "WindowSize", ""),
            std::to_string(saved.width()) + "x" + std::to_string(saved.height()));
  const QSize again = Open().size();
  EXPECT_NEAR(again.width(), base.width() + extra.width(), 4);
  EXPECT_NEAR(again.height(), base.height() + extra.height(), 4);
  // A saved size below the layout's gives the layout's; none, the opening
  // size.
  window->CloseAll(2);
  test::WriteFileText(processPaths.settingsPath, "[Main]\n");
  EXPECT_GT(Open().width(), base.width());
  window->CloseAll(2);
  test::WriteFileText(processPaths.settingsPath, "[Main]\nWindowSize=20x10\n");
  EXPECT_EQ(Open().size(), base);
  window->CloseAll(2);
  // A screen too small for the size saved (as a display scaled up makes
  // it) holds the window to itself, and the size saved stays.
  test::WriteFileText(processPaths.settingsPath, "[Main]\nWindowSize=2000x1500\n");
  EXPECT_LE(Open().width(), 800);
  window->CloseAll(2);
  EXPECT_EQ(ProfileFile::Load(processPaths.settingsPath).GetString("Main", "WindowSize", ""), "2000x1500");
}

// What dropping |paths| on the window does, from the Options tab in the
// other source kind, with a destination typed and not yet read.
struct Drop {
  std::vector<std::string> paths;
  bool accepted;
  bool files;          // "Convert File(s)" chosen
  std::string source;  // the source box afterwards
};

TEST_F(WindowTest, ADroppedFolderOrDroppedFaxFilesBecomeTheSource) {
  namespace fs = std::filesystem;
  const std::string in = dir.File("in");
  fs::create_directories(in);
  for (const char* name : {"a b.fxd", "c.fxm", "notes.txt"}) test::WriteFileText(in + "/" + name, "x");
  const Drop drops[] = {
      {{in}, true, false, in},
      {{in + "/a b.fxd", in + "/notes.txt", in + "/c.fxm"}, true, true, in + " \"a b.fxd\" c.fxm"},
      {{in + "/notes.txt"}, false, false, "/typed/source"},
  };
  for (const Drop& drop : drops) {
    MainDialog& main = Open();
    SetText(kIdSource, "/typed/source");
    SetText(kIdDestination, "/typed/destination");
    main.Tabs()->setCurrentIndex(1);
    Options().ChooseSourceKind(!drop.files);
    QMimeData data;
    QList<QUrl> urls;
    for (const std::string& path : drop.paths) urls.push_back(QUrl::fromLocalFile(QString::fromStdString(path)));
    data.setUrls(urls);
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&main, &enter);
    EXPECT_EQ(enter.isAccepted(), drop.accepted) << drop.source;
    QDropEvent dropped(QPointF(10, 10), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
    QApplication::sendEvent(&main, &dropped);
    if (!drop.accepted) {
      EXPECT_EQ(main.Tabs()->currentIndex(), 1);
      continue;
    }
    EXPECT_EQ(main.Tabs()->currentIndex(), 0);
    EXPECT_EQ(Control<QLineEdit>(&main, kIdSource)->text().toStdString(), drop.source);
    EXPECT_EQ(Control<QLineEdit>(&main, kIdDestination)->text(), "/typed/destination");
    EXPECT_EQ(IsChecked(kIdConvertFiles), drop.files);
    EXPECT_EQ(Page().Options().convertFiles, drop.files);
  }
}

TEST(FrontEnd, WithoutDisplayTheProgramSaysSoAndFails) {
  test::ScopedTempDir dir;
  test::CommandResult result =
      test::RunProgram(dir.Path(), "2>&1", "env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM");
  EXPECT_EQ(result.exitCode, 3);
  EXPECT_THAT(result.output, ::testing::HasSubstr("cannot open the window: no display"));
}

// Enter closes the box without opening the first link; a link turns
// purple only when something opened its target; only the home page link
// offers to copy its address.
TEST(AboutBox, EnterClosesLinksOpenAndTheHomeLinkCopies) {
  AboutDialog about;
  std::vector<QUrl> opened;
  bool opens = true;
  for (HyperLink* link : {about.HomeLink(), about.SupportLink()})
    link->SetOpener([&](const QUrl& url) {
      opened.push_back(url);
      return opens;
    });
  about.show();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&about));
  auto* ok = Control<QPushButton>(&about, kIdOk);
  EXPECT_TRUE(ok->hasFocus() && ok->isDefault());
  QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
  EXPECT_TRUE(opened.empty());
  EXPECT_FALSE(about.isVisible());
  EXPECT_EQ(about.result(), QDialog::Accepted);

  about.show();
  HyperLink* support = about.SupportLink();
  opens = false;
  QTest::mouseClick(support, Qt::LeftButton);
  EXPECT_FALSE(support->Visited());
  EXPECT_EQ(support->CurrentColour(), QColor(0, 0, 255));
  opens = true;
  support->setFocus();
  QTest::keyClick(support, Qt::Key_Space);
  EXPECT_EQ(support->CurrentColour(), QColor(128, 0, 128));
  EXPECT_THAT(opened, ElementsAre(QUrl("mailto:support@tamarind-fax.org"), QUrl("mailto:support@tamarind-fax.org")));

  auto menuOver = [&](HyperLink* link) {
    const QPoint at = link->geometry().center();
    QContextMenuEvent event(QContextMenuEvent::Mouse, at, about.mapToGlobal(at));
    QApplication::sendEvent(&about, &event);
  };
  QApplication::clipboard()->setText("before");
  menuOver(support);
  EXPECT_FALSE(about.LinkMenu()->isVisible());
  about.CopyShortcut();
  EXPECT_EQ(QApplication::clipboard()->text(), "before");
  menuOver(about.HomeLink());
  ASSERT_TRUE(about.LinkMenu()->isVisible());
  about.LinkMenu()->actions().at(0)->trigger();
  about.LinkMenu()->hide();
  EXPECT_EQ(QApplication::clipboard()->text(), "https://github.com/tamarind-fax/tamarind");
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

// The window's pictures for the README and the manual, saved under the
// build tree, and into docs/ when TAMARIND_UPDATE_SCREENSHOTS is set. A
// picture must show something: more than a handful of colours.
void SaveShot(QWidget& widget, const std::string& name) {
  QApplication::processEvents();
  QImage shot = widget.grab().toImage();
  std::set<QRgb> colours;
  for (int y = 0; y < shot.height(); y += 2)
    for (int x = 0; x < shot.width(); x += 2) colours.insert(shot.pixel(x, y));
  EXPECT_GT(colours.size(), 16u) << name << " looks blank";
  std::string folder = test::BinaryDir() + "/screenshots";
  std::filesystem::create_directories(folder);
  ASSERT_TRUE(shot.save(QString::fromStdString(folder + "/" + name)));
  if (!qEnvironmentVariableIsEmpty("TAMARIND_UPDATE_SCREENSHOTS")) {
    ASSERT_TRUE(shot.save(QString::fromStdString(test::SourceDir() + "/docs/" + name)));
  }
}

// A finished run in a window grown to most of a small screen, one row
// selected and its fax in the preview; every cell of the list shows its
// whole text. Then the viewer on a fax of three pages.
TEST_F(WindowTest, Screenshots) {
  namespace fs = std::filesystem;
  std::string in = dir.File("faxes");
  fs::create_directories(in);
  for (const char* name : {"fine-g3.fxs", "multipage.fxd", "standard-g4.fxr", "superfine-g4.fxd"})
    fs::copy_file(test::SourceDir() + "/samples/" + name, in + "/" + name);
  test::WriteFileText(in + "/cover.fxd", "not a fax");
  // A whole A4 page, as most faxes are.
  test::WriteFaxFile(in + "/letter.fxd", {"text-fine-g4"});
  test::WriteFaxFile(in + "/report.fxd", {"text-fine-g4", "halftone-g4", "text-standard-g3"});
  MainDialog& main = Open();
  main.resize(1240, 520);
  RunFromTo(in, dir.File("jpeg"));
  auto* list = Control<ResultsList>(&main, kIdResults);
  QSignalSpy shown(Page().Preview(), &PreviewPane::Shown);
  list->setCurrentItem(list->findItems("letter.fxd", Qt::MatchExactly).front());
  ASSERT_TRUE(shown.wait(10000));
  ASSERT_FALSE(Page().Preview()->Picture().isNull());
  for (int column = 0; column < list->columnCount(); ++column)
    EXPECT_GE(list->header()->sectionSize(column), WidestCell(list, column)) << "column " << column;
  SaveShot(main, "screenshot-convert.png");
  // The options keep their places in a grown window; the picture shows
  // them at the layout's own size.
  main.resize(main.minimumSize());
  main.Tabs()->setCurrentIndex(1);
  SaveShot(main, "screenshot-options.png");
  AboutDialog about(&main);
  about.show();
  SaveShot(about, "screenshot-about.png");
  FaxViewer viewer(QString::fromStdString(in + "/report.fxd"));
  viewer.resize(820, 560);
  viewer.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
  viewer.FitWidth();
  ASSERT_TRUE(QTest::qWaitFor(
      [&] {
        for (int page = 0; page < 3; ++page)
          if (!viewer.HasThumbnail(page)) return false;
        return viewer.PictureIsCurrent();
      },
      10000));
  SaveShot(viewer, "screenshot-viewer.png");
}

}  // namespace
}  // namespace tamarind::gui
