// Runs started from the Convert tab, over the bundled WinFax samples and
// over scripted conversions for timing-sensitive cases.
#include <gmock/gmock.h>

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QGroupBox>
#include <QHeaderView>
#include <QImage>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTime>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>
#include <thread>

#include "gui/fax_viewer.h"
#include "gui/preview_pane.h"
#include "gui/results_list.h"
#include "gui_fixture.h"
#include "support/fax_files.h"
#include "support/real_pages.h"
#include "tools/winfax_writer.h"

namespace tamarind::gui {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;

// A row as shown, and the full paths of its tooltips.
struct Row {
  std::string source, output, result, sourcePath, outputPath;
};

std::vector<Row> Rows(const QWidget* root) {
  std::vector<Row> rows;
  auto* list = Control<QTreeWidget>(root, kIdResults);
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* item = list->topLevelItem(i);
    rows.push_back({item->text(0).toStdString(), item->text(1).toStdString(), item->text(2).toStdString(),
                    item->toolTip(0).toStdString(), item->toolTip(1).toStdString()});
  }
  return rows;
}

std::vector<std::string> Results(const QWidget* root) {
  std::vector<std::string> results;
  for (const Row& row : Rows(root)) results.push_back(row.result);
  return results;
}

// The bundled samples (six WinFax files, one of three pages) plus a file
// named like a fax that is not one, and a file the folder walk leaves out.
std::string MakeSourceFolder(const test::ScopedTempDir& dir) {
  namespace fs = std::filesystem;
  std::string folder = dir.File("in");
  fs::create_directories(folder);
  for (const auto& entry : fs::directory_iterator(test::SourceDir() + "/samples"))
    if (entry.path().extension() != ".ms") fs::copy_file(entry.path(), fs::path(folder) / entry.path().filename());
  test::WriteFileText(folder + "/broken.fxd", "this is no fax at all");
  test::WriteFileText(folder + "/notes.txt", "not listed");
  return folder;
}

TEST_F(WindowTest, FolderRunFillsTheListStepsTheBarAndLogsThenTimerRunSkips) {
  MainDialog& main = Open();
  std::string in = MakeSourceFolder(dir);
  std::string out = dir.File("out");
  RunFromTo(in, out);

  // Paths are shown below their folders, whole in the tooltips.
  std::vector<Row> rows = Rows(&main);
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[0].source, "broken.fxd");
  EXPECT_EQ(rows[0].sourcePath, in + "/broken.fxd");
  EXPECT_EQ(rows[0].output, "");
  EXPECT_EQ(rows[0].result, "Not WinFax File!");
  // Each row names the files really written: a multi-page fax its first
  // page file and how many follow, every one of them in the tooltip.
  for (size_t i = 1; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].result, "Converted!") << rows[i].source;
    std::vector<std::string> written;
    for (const auto& entry : std::filesystem::directory_iterator(out))
      if (entry.path().filename().string().starts_with(rows[i].source)) written.push_back(entry.path().string());
    std::sort(written.begin(), written.end());
    ASSERT_FALSE(written.empty()) << rows[i].source;
    const std::string first = written.front().substr(out.size() + 1);
    EXPECT_EQ(rows[i].output, written.size() == 1 ? first : first + " (+" + std::to_string(written.size() - 1) + ")");
    std::string all;
    for (const std::string& path : written) all += (all.empty() ? "" : "\n") + path;
    EXPECT_EQ(rows[i].outputPath, all);
    EXPECT_TRUE(test::FileExists(written.front()));
  }
  EXPECT_TRUE(test::FileExists(out + "/fine-g3.fxs.jpg"));
  EXPECT_TRUE(test::FileExists(out + "/multipage.fxd004.jpg"));
  // The bar counts pages (one JPEG each), and one for the file that is no
  // fax.
  int pages = 0;
  for (const auto& entry : std::filesystem::directory_iterator(out)) pages += entry.path().extension() == ".jpg";
  auto* bar = Control<QProgressBar>(&main, kIdProgress);
  EXPECT_EQ(bar->maximum(), pages + 1);
  EXPECT_EQ(bar->value(), pages + 1);
  EXPECT_EQ(Page().StatusText(), "Done. 6 FAX files converted, 0 skipped, 1 failed");
  EXPECT_TRUE(Control<QPushButton>(&main, kIdGo)->isEnabled());
  EXPECT_FALSE(Control<QPushButton>(&main, kIdStop)->isEnabled());
  std::string log = test::ReadFileText(processPaths.logPath);
  EXPECT_THAT(log, HasSubstr("Tamarind in GUI mode : convert folder\r\nSource Folder: " + in +
                             "\r\nDestination Folder: " + out + "\r\n"));
  EXPECT_THAT(log, HasSubstr(in + "/fine-g3.fxs --> " + out + "/fine-g3.fxs.jpg : Success !\r\n"));

  // A run by the timer leaves existing outputs alone; a manual run does not.
  RunAndWait(/*byTimer=*/true);
  EXPECT_THAT(Results(&main), ElementsAre("Not WinFax File!", "Already exist, skipped!", "Already exist, skipped!",
                                          "Already exist, skipped!", "Already exist, skipped!",
                                          "Already exist, skipped!", "Already exist, skipped!"));
  EXPECT_EQ(Page().StatusText(), "Done. 0 FAX files converted, 6 skipped, 1 failed");
  RunAndWait();
  EXPECT_EQ(Page().StatusText(), "Done. 6 FAX files converted, 0 skipped, 1 failed");
}

TEST_F(WindowTest, OptionsChosenBeforeTheRunNameTheOutputs) {
  MainDialog& main = Open();
  std::string in = MakeSourceFolder(dir);
  main.Tabs()->setCurrentIndex(1);
  Click(kIdKeepExtension);  // off: a.fxd gives a.jpg
  ChooseFiles({});
  RunFromTo("\"" + in + "\" standard-g4.fxr notes.txt", dir.File("out"));
  std::vector<Row> rows = Rows(&main);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].outputPath, dir.File("out/standard-g4.jpg"));
  EXPECT_EQ(rows[0].result, "Converted!");
  EXPECT_EQ(rows[1].result, "Not WinFax File!");
  EXPECT_EQ(Page().StatusText(), "Done. 1 FAX files converted, 0 skipped, 1 failed");
}

TEST_F(WindowTest, FilterTypedAndStartedWithAltGIsTheRunsFilter) {
  MainDialog& main = Open();
  std::string in = MakeSourceFolder(dir);
  SetText(kIdSource, in);
  SetText(kIdDestination, dir.File("out"));
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  auto* filter = Control<QLineEdit>(&main, kIdFilter);
  filter->setFocus();
  filter->selectAll();
  QTest::keyClicks(filter, "*.fxr");
  QSignalSpy finished(&Page(), &ConvertPage::RunFinished);
  QTest::keyClick(filter, Qt::Key_G, Qt::AltModifier);  // clicks Go a moment later
  ASSERT_TRUE(QTest::qWaitFor([&] { return Page().Running() || !messages.empty(); }, 5000));
  ASSERT_TRUE(Page().Running()) << messages.front();
  ASSERT_TRUE(finished.wait(60000));
  EXPECT_TRUE(filter->hasFocus());
  ASSERT_EQ(Rows(&main).size(), 1u);
  EXPECT_EQ(Rows(&main)[0].result, "Converted!");
}

TEST_F(WindowTest, EveryResultWordFitsItsColumnAndThePathsShareTheRest) {
  MainDialog& main = Open();
  const std::pair<const char*, int> files[] = {
      {"a.fxd", kConverted}, {"b.fxd", kSkipped}, {"c.fxd", kNotWinFax}, {"d.fxd", kJpegFailed}};
  std::vector<std::string> names;
  for (auto [name, result] : files) names.push_back(name);
  ChooseFiles(names, [&](ConversionJob&, const std::string& source, const std::string&) {
    for (auto [name, result] : files)
      if (source.ends_with(name)) return FileOutcome::Of(result);
    return FileOutcome::Of(kException);
  });
  RunAndWait();
  EXPECT_THAT(Results(&main), ElementsAre("Converted!", "Already exist, skipped!", "Not WinFax File!", "Failed!"));
  auto* list = Control<QTreeWidget>(&main, kIdResults);
  QHeaderView* header = list->header();
  // At the size the window opens with, and at its smallest.
  for (QSize size : {main.size(), main.minimumSize()}) {
    main.resize(size);
    QApplication::processEvents();
    EXPECT_GE(header->sectionSize(2), WidestCell(list, 2));
    EXPECT_NEAR(header->sectionSize(0), header->sectionSize(1), 1);
    EXPECT_NEAR(header->sectionSize(0), header->sectionSize(3), 1);
    EXPECT_NEAR(header->sectionSize(0), header->sectionSize(4), 1);
    EXPECT_EQ(header->length(), list->viewport()->width());
  }
  EXPECT_EQ(list->textElideMode(), Qt::ElideMiddle);
}

// A standard-resolution page (rows doubled) and a fine one, in the preview
// with the proportions of their JPEGs, whose pixels are square.
TEST_F(WindowTest, SelectingARowPreviewsItsFaxWithSquarePixels) {
  MainDialog& main = Open();
  std::string in = MakeSourceFolder(dir);
  RunFromTo(in, dir.File("out"));
  auto* list = Control<ResultsList>(&main, kIdResults);
  for (const char* name : {"standard-g4.fxr", "fine-g4.fxm"}) {
    QList<QTreeWidgetItem*> rows = list->findItems(name, Qt::MatchExactly, ResultsList::kSourceColumn);
    ASSERT_EQ(rows.size(), 1);
    QSignalSpy shown(Page().Preview(), &PreviewPane::Shown);
    list->setCurrentItem(rows.front());
    ASSERT_TRUE(shown.wait(10000));
    const QImage& picture = Page().Preview()->Picture();
    ASSERT_FALSE(picture.isNull()) << Page().Preview()->Note().toStdString();
    QImage jpeg(ResultsList::OpenPath(rows.front()));
    ASSERT_FALSE(jpeg.isNull());
    EXPECT_NEAR(double(picture.width()) / picture.height(), double(jpeg.width()) / jpeg.height(),
                2.0 / picture.height())
        << name;
    const QSize box = Page().Preview()->contentsRect().size();
    EXPECT_TRUE(picture.width() <= box.width() && picture.height() <= box.height()) << name;
  }
  // A file that is no fax shows why.
  QSignalSpy shown(Page().Preview(), &PreviewPane::Shown);
  list->setCurrentItem(list->findItems("broken.fxd", Qt::MatchExactly).front());
  ASSERT_TRUE(shown.wait(10000));
  EXPECT_TRUE(Page().Preview()->Picture().isNull());
  EXPECT_THAT(Page().Preview()->Note().toStdString(), HasSubstr("No preview"));
}

// A double-click, or Enter, shows the row's fax in the viewer; the menu
// also opens the output or its folder, and says so when no program does.
TEST_F(WindowTest, ARowShowsItsFaxOpensItsOutputItsFolderOrCopiesItsPath) {
  MainDialog& main = Open();
  std::string in = MakeSourceFolder(dir);
  RunFromTo(in, dir.File("out"));
  auto* list = Control<ResultsList>(&main, kIdResults);
  std::vector<QUrl> opened;
  bool opens = true;
  list->SetOpener([&](const QUrl& url) {
    opened.push_back(url);
    return opens;
  });
  QSignalSpy viewed(list, &ResultsList::ViewRequested);
  QTreeWidgetItem* multipage = list->findItems("multipage.fxd", Qt::MatchExactly).front();
  const QString firstPage = QString::fromStdString(dir.File("out/multipage.fxd001.jpg"));
  list->scrollToItem(multipage);
  // The events of a real double-click: press, release, double-click, release.
  const QPoint at = list->visualItemRect(multipage).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
  QTest::keyClick(list, Qt::Key_Return);
  ASSERT_EQ(viewed.count(), 2);
  EXPECT_EQ(viewed.at(0).at(0).toString().toStdString(), in + "/multipage.fxd");
  EXPECT_TRUE(opened.empty());
  EXPECT_FALSE(main.IsClosed());
  ASSERT_EQ(main.Viewers().size(), 2u);  // the window opened them
  EXPECT_EQ(main.Viewers().front()->Path().toStdString(), in + "/multipage.fxd");

  QList<QAction*> items = list->RowMenu()->actions();
  ASSERT_EQ(items.size(), 4);
  EXPECT_EQ(items[0]->text(), "View fax");
  EXPECT_EQ(items[1]->text(), "Open output");
  EXPECT_EQ(items[2]->text(), "Open containing folder");
  EXPECT_EQ(items[3]->text(), "Copy path");
  EXPECT_EQ(list->RowMenu()->defaultAction(), items[0]);
  items[1]->trigger();
  EXPECT_EQ(opened.back(), QUrl::fromLocalFile(firstPage));
  items[2]->trigger();
  EXPECT_EQ(opened.back(), QUrl::fromLocalFile(QString::fromStdString(dir.File("out"))));
  opens = false;
  items[2]->trigger();
  EXPECT_THAT(messages, ElementsAre("Tamarind: No program on this desktop opens\n" + dir.File("out")));
  items[3]->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), firstPage);
  // Nothing to open for a file that is no fax; its own folder and path
  // remain.
  QTreeWidgetItem* broken = list->findItems("broken.fxd", Qt::MatchExactly).front();
  list->scrollToItem(broken);
  const QPoint over = list->visualItemRect(broken).center();
  QContextMenuEvent menu(QContextMenuEvent::Mouse, over, list->viewport()->mapToGlobal(over));
  QApplication::sendEvent(list->viewport(), &menu);
  EXPECT_EQ(list->currentItem(), broken);
  EXPECT_FALSE(items[1]->isEnabled());
  list->RowMenu()->hide();
  items[3]->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdString(in + "/broken.fxd"));
}

TEST_F(WindowTest, RunOverNothingStillEndsAndLogsTheHeader) {
  MainDialog& main = Open();
  SetText(kIdSource, dir.File("empty"));
  std::filesystem::create_directories(dir.File("empty"));
  SetText(kIdDestination, dir.File("out"));
  RunAndWait();
  EXPECT_TRUE(Rows(&main).empty());
  EXPECT_EQ(Page().StatusText(), "Done. 0 FAX files converted, 0 skipped, 0 failed");
  EXPECT_THAT(test::ReadFileText(processPaths.logPath), HasSubstr("Destination Folder: " + dir.File("out") + "\r\n"));
}

// A failed row says why, and every row the fax's header text, in the words
// the JSON report of the same files uses; the status line counts the
// failures.
TEST_F(WindowTest, RowsGiveTheReasonAndHeaderTheJsonReportGives) {
  MainDialog& main = Open();
  std::string in = MakeSourceFolder(dir);
  // A fax with a page that holds no image: failed, though it opens.
  test::WriteFaxFile(in + "/empty.fxd", {test::kEmptyPage});
  // A header text in Windows-1252, shown decoded.
  tools::WinFaxPageLayout letter = test::WinFaxPageOf(test::RealPageNamed("text-fine-g4"));
  letter.text = "Fax from M\xFCller";
  ASSERT_TRUE(tools::WriteWinFaxFile(in + "/letter.fxd", std::vector<tools::WinFaxPageLayout>{letter}));
  RunFromTo(in, dir.File("out"));
  test::CommandResult cli =
      test::RunProgram(dir.Path(), "/d=" + test::ShellQuote(in) + " /sd=" + test::ShellQuote(dir.File("cli")) +
                                       " /report=- /q 2>/dev/null");
  ASSERT_TRUE(cli.exitCode == 2) << cli.output;
  auto* list = Control<ResultsList>(&main, kIdResults);
  int failed = 0;
  for (int i = 0; i < list->topLevelItemCount(); ++i) {
    QTreeWidgetItem* row = list->topLevelItem(i);
    const std::string source = ResultsList::SourcePath(row).toStdString();
    const size_t at = cli.output.find("{\"source\":\"" + source + "\"");
    ASSERT_NE(at, std::string::npos) << source;
    const std::string line = cli.output.substr(at, cli.output.find('\n', at) - at);
    const std::string reason = row->toolTip(ResultsList::kReasonColumn).toStdString();
    const std::string header = row->text(ResultsList::kHeaderColumn).toStdString();
    EXPECT_THAT(line, HasSubstr(header.empty() ? std::string("\"header\":null") : "\"header\":\"" + header + "\""))
        << source;
    if (row->text(ResultsList::kResultColumn) == "Converted!") {
      EXPECT_THAT(line, HasSubstr("\"reason\":null")) << source;
      EXPECT_EQ(reason, "");
      continue;
    }
    ++failed;
    ASSERT_FALSE(reason.empty()) << source;
    EXPECT_THAT(line, HasSubstr("\"reason\":\"" + reason + "\"")) << source;
    // The cell leaves out the path the row already shows.
    EXPECT_EQ(reason, source + ": " + row->text(ResultsList::kReasonColumn).toStdString());
  }
  EXPECT_EQ(failed, 2);  // broken.fxd and empty.fxd
  EXPECT_EQ(list->findItems("Fax from M\u00fcller", Qt::MatchExactly, ResultsList::kHeaderColumn).size(), 1);
  EXPECT_THAT(Page().StatusText().toStdString(), ::testing::EndsWith(", 2 failed"));
}

TEST_F(WindowTest, CancelStopsAfterTheFileInProgressAndThePageStaysUsable) {
  MainDialog& main = Open();
  std::atomic<int> converted{0};
  // Like the real conversion, a file in progress gives up when the stop
  // comes.
  std::vector<std::string> names;
  for (int i = 0; i < 200; ++i) names.push_back("f" + std::to_string(i) + ".fxd");
  ChooseFiles(names, [&](ConversionJob& job, const std::string&, const std::string&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    if (job.StopRequested()) return FileOutcome::Of(kStopped);
    ++converted;
    return FileOutcome{};
  });
  QSignalSpy finished(&Page(), &ConvertPage::RunFinished);
  Click(kIdGo);
  ASSERT_TRUE(Page().Running());
  EXPECT_FALSE(Control<QPushButton>(&main, kIdGo)->isEnabled());
  EXPECT_TRUE(Control<QPushButton>(&main, kIdStop)->isEnabled());
  ASSERT_TRUE(QTest::qWaitFor([&] { return Rows(&main).size() >= 2; }, 10000));
  EXPECT_THAT(Page().StatusText().toStdString(), HasSubstr(" of 200 files, 0 of 0 pages, 0 failed"));
  EXPECT_THAT(Page().StatusText().toStdString(), HasSubstr(". Doing: f"));
  SetText(kIdFilter, "*.fxd");  // typing goes on during the run
  ASSERT_TRUE(QTest::qWaitFor([&] { return Rows(&main).size() >= 4; }, 10000));
  EXPECT_EQ(Control<QLineEdit>(&main, kIdFilter)->text(), "*.fxd");

  Click(kIdStop);
  EXPECT_TRUE(Control<QPushButton>(&main, kIdGo)->isEnabled());
  if (Page().Running()) {
    Click(kIdGo);  // while the last file finishes
    EXPECT_THAT(messages, ElementsAre("Warning: Please wait while running conversion stops"));
  }
  ASSERT_TRUE(finished.count() == 1 || finished.wait(10000));
  EXPECT_FALSE(Page().Running());
  EXPECT_LT(converted.load(), 200);
  // Every row started ends: those given up part-way say so.
  const int done = converted.load();
  const std::vector<std::string> results = Results(&main);
  EXPECT_GE(results.size(), static_cast<size_t>(done));
  EXPECT_EQ(std::count(results.begin(), results.end(), "Converted!"), done);
  for (const Row& row : Rows(&main)) EXPECT_THAT(row.result, ::testing::AnyOf("Converted!", "Failed!")) << row.source;
  EXPECT_EQ(Page().StatusText().toStdString(), "Cancelled. " + std::to_string(done) +
                                                   " FAX files converted, 0 skipped, 0 failed, " +
                                                   std::to_string(200 - done) + " not started");
  EXPECT_THAT(test::ReadFileText(processPaths.logPath), HasSubstr("Tamarind in GUI mode : convert folder\r\n"));

  // The next run starts afresh.
  Page().SetFileConverter(
      [](ConversionJob&, const std::string&, const std::string&) { return FileOutcome::Of(kSkipped); });
  RunAndWait();
  EXPECT_EQ(Rows(&main).size(), 200u);
}

TEST_F(WindowTest, ClosingDuringARunStopsTheWorkerFirstThenSaves) {
  MainDialog& main = Open();
  std::atomic<int> started{0};
  std::atomic<bool> inside{false};
  ChooseFiles({"a.fxd", "b.fxd", "c.fxd", "d.fxd", "e.fxd", "f.fxd"},
              [&](ConversionJob&, const std::string&, const std::string&) {
                inside = true;
                ++started;
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
                inside = false;
                return FileOutcome{};
              });
  QSignalSpy closed(&main, &MainDialog::Closed);
  Click(kIdGo);
  ASSERT_TRUE(QTest::qWaitFor([&] { return started.load() >= 1; }, 5000));
  main.close();
  EXPECT_FALSE(inside.load());  // the file in progress finished
  EXPECT_LT(started.load(), 6);
  EXPECT_FALSE(Page().Running());
  ASSERT_EQ(closed.count(), 1);
  EXPECT_EQ(closed.front().front().toInt(), 2);
  EXPECT_TRUE(test::FileExists(processPaths.settingsPath));
}

// A destination that cannot be made is named with the cause: in a box for
// a run the user started (never two at once), in the status line for a
// run the timer started, which must not take the focus.
TEST_F(WindowTest, ErrorSaveDirNamesThePathAndTheCause) {
  MainDialog& main = Open();
  std::vector<std::unique_ptr<QWidget>> boxes;
  Page().SetMessagePresenter([&](QWidget*, const Message& message) -> QWidget* {
    messages.push_back(message.caption.toStdString() + ": " + message.text.toStdString());
    boxes.push_back(std::make_unique<QWidget>());
    return boxes.back().get();
  });
  test::WriteFileText(dir.File("blocker"), "a file where the folder should be");
  ChooseFiles({"a.fxd"});
  SetText(kIdDestination, dir.File("blocker/out"));
  const std::string cause = dir.File("blocker/out") + ": Not a directory";
  RunAndWait();
  RunAndWait();
  EXPECT_THAT(messages, ElementsAre("Error: Error Save Dir\n" + cause));
  boxes.clear();  // the user closed it
  RunAndWait(/*byTimer=*/true);
  EXPECT_EQ(messages.size(), 1u);
  EXPECT_THAT(Page().StatusText().toStdString(), ::testing::EndsWith("1 failed. Error Save Dir: " + cause));
  EXPECT_THAT(Results(&main), ElementsAre("Failed!"));
}

// The timer starts a run while the user types a path: the box keeps the
// focus, stays enabled and keeps what is typed; the Convert tab says when
// the timer runs next.
TEST_F(WindowTest, TimerRunLeavesTheBoxBeingTypedInAlone) {
  MainDialog& main = Open();
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  std::atomic<bool> release{false};
  ChooseFiles({"a.fxd", "b.fxd"}, [&](ConversionJob&, const std::string&, const std::string&) {
    while (!release) std::this_thread::sleep_for(std::chrono::milliseconds(5));
    return FileOutcome{};
  });
  main.Tabs()->setCurrentIndex(1);
  main.Options()->ChooseSourceKind(false);
  Click(kIdAutoConvert);
  main.Tabs()->setCurrentIndex(0);
  const QTime next = QTime::currentTime().addSecs(60 * 60);
  auto* line = Page().findChild<QLabel*>(QStringLiteral("autoConvertLine"));
  ASSERT_NE(line, nullptr);
  EXPECT_TRUE(line->isVisible());
  EXPECT_EQ(line->text(),
            QStringLiteral("Automatic conversion every 60 minutes, next at %1").arg(next.toString("HH:mm")));
  EXPECT_FALSE(line->geometry().intersects(Control<QWidget>(&main, kIdResults)->geometry()));

  SetText(kIdSource, dir.Path());
  auto* source = Control<QLineEdit>(&main, kIdSource);
  source->setFocus();
  source->setCursorPosition(3);
  QSignalSpy finished(&Page(), &ConvertPage::RunFinished);
  Page().OnAutoConvertTick();
  ASSERT_TRUE(Page().Running());
  QTest::keyClicks(source, "xy");
  EXPECT_TRUE(source->hasFocus());
  EXPECT_TRUE(source->isEnabled());
  EXPECT_EQ(source->text(), QString::fromStdString(dir.Path()).insert(3, "xy"));
  EXPECT_TRUE(Control<QPushButton>(&main, kIdStop)->isEnabled());
  release = true;
  ASSERT_TRUE(finished.wait(10000));
  EXPECT_TRUE(source->hasFocus());
  EXPECT_EQ(source->cursorPosition(), 5);
  main.AutoConvert(0, 0);
  EXPECT_FALSE(line->isVisible());
}

// Rows keep coming; a user who scrolled up to read keeps the place, and
// one at the bottom follows the new rows.
TEST_F(WindowTest, ScrollingBackDuringARunIsKept) {
  MainDialog& main = Open();
  std::atomic<int> allowed{60};  // files below this number may convert
  std::vector<std::string> names;
  for (int i = 0; i < 120; ++i) names.push_back("f" + std::to_string(i) + ".fxd");
  ChooseFiles(names, [&](ConversionJob&, const std::string& source, const std::string&) {
    const int number = std::stoi(source.substr(source.rfind('/') + 2));
    while (number >= allowed.load()) std::this_thread::sleep_for(std::chrono::milliseconds(2));
    return FileOutcome{};
  });
  auto* list = Control<QTreeWidget>(&main, kIdResults);
  QScrollBar* bar = list->verticalScrollBar();
  QSignalSpy finished(&Page(), &ConvertPage::RunFinished);
  Click(kIdGo);
  ASSERT_TRUE(QTest::qWaitFor([&] { return list->topLevelItemCount() >= 60; }, 10000));
  QApplication::processEvents();
  EXPECT_GT(bar->maximum(), 0);
  EXPECT_EQ(bar->value(), bar->maximum());  // followed so far
  bar->setValue(0);
  allowed = 1000;
  ASSERT_TRUE(finished.count() == 1 || finished.wait(20000));
  QApplication::processEvents();
  EXPECT_EQ(list->topLevelItemCount(), 120);
  EXPECT_EQ(bar->value(), 0);
}

// Go without a source or a destination warns and starts nothing; the timer
// starts nothing either, and silently. The
// captions, the column head, the tray tip and that warning name the format
// chosen; JPEG keeps the long-standing texts, word for word.
TEST_F(WindowTest, CaptionsFollowTheFormatChosen) {
  MainDialog& main = Open();
  auto* list = Control<QTreeWidget>(&main, kIdResults);
  const std::tuple<OutputFormat, const char*, const char*, std::string> cases[] = {
      {OutputFormat::Pdf, "Convert Fax to PDF", "Destination PDF Files", "pdf"},
      {OutputFormat::Tiff, "Convert Fax to TIFF", "Destination TIFF Files", "tif"},
      {OutputFormat::Jpeg, "Convert Fax to Jpeg", "Destination JPEG Files", "jpg"},
  };
  Page().OnAutoConvertTick();  // the timer says nothing
  Click(kIdGo);
  EXPECT_THAT(messages, ElementsAre("Warning: Select Source Dir,\nwhere your fax files to be converted should be"));
  EXPECT_FALSE(Page().Running());
  SetText(kIdSource, dir.Path());
  for (const auto& [format, group, column, extension] : cases) {
    main.Tabs()->setCurrentIndex(1);
    Control<QComboBox>(&main, kIdFormat)->setCurrentIndex(static_cast<int>(format));
    main.Tabs()->setCurrentIndex(0);
    EXPECT_EQ(Page().Group()->title(), group);
    EXPECT_EQ(list->headerItem()->text(ResultsList::kOutputColumn), column);
    EXPECT_EQ(main.TrayIcon()->toolTip().toStdString(), "Tamarind\nConvert WinFax fxd/fxm/fxr/fxs to " + extension);
    Click(kIdGo);
    EXPECT_EQ(messages.back(), "Warning: Select Save Dir,\nwhere your converted " + extension + " files should be");
    EXPECT_FALSE(Page().Running());
  }
}

}  // namespace
}  // namespace tamarind::gui
