// Runs started from the Convert tab, over the bundled WinFax samples and
// over scripted conversions for timing-sensitive cases.
#include <gmock/gmock.h>

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QHeaderView>
#include <QImage>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <chrono>
#include <filesystem>
#include <thread>

#include "gui/preview_pane.h"
#include "gui/results_list.h"
#include "gui_fixture.h"
#include "window/file_selection.h"

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

TEST_F(WindowTest, GoWithoutSourceOrDestinationWarns) {
  Open();
  Click(kIdGo);
  SetText(kIdSource, dir.Path());
  Click(kIdGo);
  EXPECT_THAT(messages, ElementsAre("Warning: Select Source Dir,\nwhere your fax files to be converted should be",
                                    "Warning: Select Save Dir,\nwhere your converted jpg files should be"));
  EXPECT_FALSE(Page().Running());
}

TEST_F(WindowTest, FolderRunFillsTheListStepsTheBarAndLogsThenTimerRunSkips) {
  MainDialog& main = Open();
  std::string in = MakeSourceFolder(dir);
  std::string out = dir.File("out");
  SetText(kIdSource, in);
  SetText(kIdDestination, out);
  RunAndWait();

  // Paths are shown below their folders, whole in the tooltips.
  std::vector<Row> rows = Rows(&main);
  ASSERT_EQ(rows.size(), 7u);
  EXPECT_EQ(rows[0].source, "broken.fxd");
  EXPECT_EQ(rows[0].sourcePath, in + "/broken.fxd");
  EXPECT_EQ(rows[0].output, "");
  EXPECT_EQ(rows[0].result, "Not WinFax File!");
  for (size_t i = 1; i < rows.size(); ++i) {
    EXPECT_EQ(rows[i].result, "Converted!") << rows[i].source;
    EXPECT_EQ(rows[i].output, rows[i].source + ".jpg");
    EXPECT_EQ(rows[i].outputPath, out + "/" + rows[i].output);
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
  EXPECT_EQ(Page().StatusText(), "Done. 6 FAX files converted");
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
  EXPECT_EQ(Page().StatusText(), "Done. 0 FAX files converted");
  RunAndWait();
  EXPECT_EQ(Page().StatusText(), "Done. 6 FAX files converted");
}

TEST_F(WindowTest, OptionsChosenBeforeTheRunNameTheOutputs) {
  MainDialog& main = Open();
  std::string in = MakeSourceFolder(dir);
  main.Tabs()->setCurrentIndex(1);
  Click(kIdConvertFiles);
  Click(kIdKeepExtension);  // off: a.fxd gives a.jpg
  main.Tabs()->setCurrentIndex(0);
  SetText(kIdSource, "\"" + in + "\" standard-g4.fxr notes.txt");
  SetText(kIdDestination, dir.File("out"));
  RunAndWait();
  std::vector<Row> rows = Rows(&main);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].outputPath, dir.File("out/standard-g4.jpg"));
  EXPECT_EQ(rows[0].result, "Converted!");
  EXPECT_EQ(rows[1].result, "Not WinFax File!");
  EXPECT_EQ(Page().StatusText(), "Done. 1 FAX files converted");
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

// Runs over |names| in "Convert File(s)" mode with a scripted conversion.
void RunScripted(MainDialog& main, const std::string& folder, const std::vector<std::string>& names,
                 FileConverter converter) {
  main.Convert()->SetFileConverter(std::move(converter));
  main.Tabs()->setCurrentIndex(1);
  main.Options()->ChooseSourceKind(true);
  main.Tabs()->setCurrentIndex(0);
  main.Convert()->SetSourceText(FormatFileSelection(folder, names));
  Control<QLineEdit>(&main, kIdDestination)->setText(QString::fromStdString(folder + "/out"));
}

TEST_F(WindowTest, EveryResultWordFitsItsColumnAndThePathsShareTheRest) {
  MainDialog& main = Open();
  const std::pair<const char*, int> files[] = {
      {"a.fxd", kConverted}, {"b.fxd", kSkipped}, {"c.fxd", kNotWinFax}, {"d.fxd", kJpegFailed}};
  std::vector<std::string> names;
  for (auto [name, result] : files) names.push_back(name);
  RunScripted(main, dir.Path(), names, [&](ConversionJob&, const std::string& source, const std::string&) {
    for (auto [name, result] : files)
      if (source.ends_with(name)) return FileOutcome{.result = result};
    return FileOutcome{.result = kException};
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
    EXPECT_EQ(header->sectionSize(0) + header->sectionSize(1) + header->sectionSize(2), list->viewport()->width());
  }
  EXPECT_EQ(list->textElideMode(), Qt::ElideMiddle);
}

// A standard-resolution page (rows doubled) and a fine one, in the preview
// with the proportions of their JPEGs, whose pixels are square.
TEST_F(WindowTest, SelectingARowPreviewsItsFaxWithSquarePixels) {
  MainDialog& main = Open();
  std::string in = MakeSourceFolder(dir);
  SetText(kIdSource, in);
  SetText(kIdDestination, dir.File("out"));
  RunAndWait();
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

TEST_F(WindowTest, ARowOpensItsOutputItsFolderOrCopiesItsPath) {
  MainDialog& main = Open();
  std::string in = MakeSourceFolder(dir);
  SetText(kIdSource, in);
  SetText(kIdDestination, dir.File("out"));
  RunAndWait();
  auto* list = Control<ResultsList>(&main, kIdResults);
  std::vector<QUrl> opened;
  list->SetOpener([&](const QUrl& url) {
    opened.push_back(url);
    return true;
  });
  QTreeWidgetItem* multipage = list->findItems("multipage.fxd", Qt::MatchExactly).front();
  const QString firstPage = QString::fromStdString(dir.File("out/multipage.fxd001.jpg"));
  list->scrollToItem(multipage);
  // The events of a real double-click: press, release, double-click, release.
  const QPoint at = list->visualItemRect(multipage).center();
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
  QTest::mouseRelease(list->viewport(), Qt::LeftButton, {}, at);
  ASSERT_EQ(opened.size(), 1u);
  EXPECT_EQ(opened.back(), QUrl::fromLocalFile(firstPage));

  QList<QAction*> items = list->RowMenu()->actions();
  ASSERT_EQ(items.size(), 3);
  EXPECT_EQ(items[0]->text(), "Open");
  EXPECT_EQ(items[1]->text(), "Open containing folder");
  EXPECT_EQ(items[2]->text(), "Copy path");
  items[1]->trigger();
  EXPECT_EQ(opened.back(), QUrl::fromLocalFile(QString::fromStdString(dir.File("out"))));
  items[2]->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), firstPage);
  // Nothing to open for a file that is no fax; its own folder and path
  // remain.
  QTreeWidgetItem* broken = list->findItems("broken.fxd", Qt::MatchExactly).front();
  list->scrollToItem(broken);
  const QPoint over = list->visualItemRect(broken).center();
  QContextMenuEvent menu(QContextMenuEvent::Mouse, over, list->viewport()->mapToGlobal(over));
  QApplication::sendEvent(list->viewport(), &menu);
  EXPECT_EQ(list->currentItem(), broken);
  EXPECT_FALSE(items[0]->isEnabled());
  list->RowMenu()->hide();
  items[2]->trigger();
  EXPECT_EQ(QApplication::clipboard()->text(), QString::fromStdString(in + "/broken.fxd"));
}

TEST_F(WindowTest, RunOverNothingStillEndsAndLogsTheHeader) {
  MainDialog& main = Open();
  SetText(kIdSource, dir.File("empty"));
  std::filesystem::create_directories(dir.File("empty"));
  SetText(kIdDestination, dir.File("out"));
  RunAndWait();
  EXPECT_TRUE(Rows(&main).empty());
  EXPECT_EQ(Page().StatusText(), "Done. 0 FAX files converted");
  EXPECT_THAT(test::ReadFileText(processPaths.logPath), HasSubstr("Destination Folder: " + dir.File("out") + "\r\n"));
}

TEST_F(WindowTest, FailuresShowAsFailed) {
  MainDialog& main = Open();
  Page().SetFileConverter([](ConversionJob&, const std::string& source, const std::string&) {
    return FileOutcome{.result = source.ends_with("a.fxd")   ? kJpegFailed
                                 : source.ends_with("b.fxd") ? kException
                                                             : kFolderNotCreated};
  });
  main.Tabs()->setCurrentIndex(1);
  Click(kIdConvertFiles);
  main.Tabs()->setCurrentIndex(0);
  SetText(kIdSource, dir.Path() + " a.fxd b.fxd c.fxd");
  SetText(kIdDestination, dir.File("out"));
  RunAndWait();
  EXPECT_THAT(Results(&main), ElementsAre("Failed!", "Failed!", "Failed!"));
}

TEST_F(WindowTest, CancelStopsAfterTheFileInProgressAndThePageStaysUsable) {
  MainDialog& main = Open();
  std::atomic<int> converted{0};
  Page().SetFileConverter([&](ConversionJob&, const std::string&, const std::string&) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    ++converted;
    return FileOutcome{};
  });
  main.Tabs()->setCurrentIndex(1);
  Click(kIdConvertFiles);
  main.Tabs()->setCurrentIndex(0);
  std::string names;
  for (int i = 0; i < 200; ++i) names += " f" + std::to_string(i) + ".fxd";
  SetText(kIdSource, dir.Path() + names);
  SetText(kIdDestination, dir.File("out"));
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
  EXPECT_EQ(Rows(&main).size(), static_cast<size_t>(converted.load()));
  EXPECT_EQ(Page().StatusText().toStdString(), DoneText(converted.load()));
  EXPECT_THAT(test::ReadFileText(processPaths.logPath), HasSubstr("Tamarind in GUI mode : convert folder\r\n"));

  // The next run starts afresh.
  Page().SetFileConverter(
      [](ConversionJob&, const std::string&, const std::string&) { return FileOutcome{.result = kSkipped}; });
  RunAndWait();
  EXPECT_EQ(Rows(&main).size(), 200u);
}

TEST_F(WindowTest, ClosingDuringARunStopsTheWorkerFirstThenSaves) {
  MainDialog& main = Open();
  std::atomic<int> started{0};
  std::atomic<bool> inside{false};
  Page().SetFileConverter([&](ConversionJob&, const std::string&, const std::string&) {
    inside = true;
    ++started;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    inside = false;
    return FileOutcome{};
  });
  main.Tabs()->setCurrentIndex(1);
  Click(kIdConvertFiles);
  main.Tabs()->setCurrentIndex(0);
  SetText(kIdSource, dir.Path() + " a.fxd b.fxd c.fxd d.fxd e.fxd f.fxd");
  SetText(kIdDestination, dir.File("out"));
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

TEST_F(WindowTest, ErrorSaveDirDoesNotStackBoxes) {
  MainDialog& main = Open();
  std::vector<std::unique_ptr<QWidget>> boxes;
  int shown = 0;
  Page().SetMessagePresenter([&](QWidget*, const Message& message) -> QWidget* {
    EXPECT_EQ(message.caption, "Error");
    EXPECT_EQ(message.text, "Error Save Dir");
    ++shown;
    boxes.push_back(std::make_unique<QWidget>());
    return boxes.back().get();
  });
  test::WriteFileText(dir.File("blocker"), "a file where the folder should be");
  main.Tabs()->setCurrentIndex(1);
  Click(kIdConvertFiles);
  main.Tabs()->setCurrentIndex(0);
  SetText(kIdSource, dir.File("a.fxd"));
  SetText(kIdDestination, dir.File("blocker/out"));
  RunAndWait(/*byTimer=*/true);
  RunAndWait(/*byTimer=*/true);
  EXPECT_EQ(shown, 1);
  boxes.clear();  // the user closed it
  RunAndWait(/*byTimer=*/true);
  EXPECT_EQ(shown, 2);
  EXPECT_THAT(Results(&main), ElementsAre("Failed!"));
}

TEST_F(WindowTest, TimerTickWithoutFoldersDoesNothingSilently) {
  Open();
  Page().OnAutoConvertTick();
  EXPECT_FALSE(Page().Running());
  EXPECT_TRUE(messages.empty());
}

}  // namespace
}  // namespace tamarind::gui
