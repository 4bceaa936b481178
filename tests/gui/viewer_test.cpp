// The fax viewer: pages, zoom, turns, copy, print, thumbnails, refusals, and
// how it hands a fax to the main window without changing the settings.
#include <gmock/gmock.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QPrinter>
#include <QScrollBar>
#include <QTest>

#include "gui/fax_viewer.h"
#include "gui/page_view.h"
#include "gui/preview_pane.h"
#include "gui_fixture.h"
#include "support/fax_files.h"
#include "support/real_pages.h"
#include "window/profile.h"

namespace tamarind::gui {
namespace {

using ::testing::HasSubstr;

constexpr const char* kPageNames[] = {"text-fine-g4", "halftone-g4", "text-standard-g3"};

std::string ThreePageFax(const test::ScopedTempDir& dir) {
  return test::WriteFaxFile(dir.File("three.fxd"), {std::begin(kPageNames), std::end(kPageNames)});
}

// Waits until the page in view is drawn at the present zoom and turn.
bool Shown(FaxViewer& viewer) {
  return QTest::qWaitFor(
      [&] {
        return viewer.PictureIsCurrent() ||
               (viewer.View()->Picture().isNull() && !viewer.View()->Note().contains("..."));
      },
      10000);
}

// Page 3 of a three-page fax at 1:1, turned a quarter: the pixels on
// screen are the page an independent decoder gives.
TEST_F(WindowTest, ViewerShowsPageThreeAtOneToOneTurnedAsDecoded) {
  FaxViewer viewer(QString::fromStdString(ThreePageFax(dir)));
  viewer.resize(900, 700);
  viewer.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
  ASSERT_TRUE(Shown(viewer));
  EXPECT_EQ(viewer.windowTitle(), "three.fxd, page 1 of 3 - Tamarind");
  // The whole page fits, filling the area one way, though its header
  // claims more rows than it holds.
  const QSize area = viewer.View()->DeviceViewport();
  const QImage& fitted = viewer.View()->Picture();
  EXPECT_TRUE(std::abs(fitted.width() - area.width()) <= 1 || std::abs(fitted.height() - area.height()) <= 1)
      << fitted.width() << "x" << fitted.height() << " in " << area.width() << "x" << area.height();
  EXPECT_TRUE(fitted.width() <= area.width() && fitted.height() <= area.height());
  // Three thumbnails, each drawn once its row is in sight.
  EXPECT_TRUE(viewer.Thumbnails()->isVisible());
  ASSERT_EQ(viewer.Thumbnails()->count(), 3);
  EXPECT_TRUE(QTest::qWaitFor([&] { return viewer.HasThumbnail(2); }, 10000));

  QTest::keyClick(&viewer, Qt::Key_End);
  EXPECT_EQ(viewer.Model().Page(), 2);
  viewer.Action("actualSize")->trigger();
  viewer.Action("rotateRight")->trigger();
  ASSERT_TRUE(Shown(viewer));
  EXPECT_EQ(viewer.PageBox()->text(), "3");
  EXPECT_EQ(viewer.Thumbnails()->currentRow(), 2);

  const test::RealPage& page = test::RealPageNamed(kPageNames[2]);
  const QImage& picture = viewer.View()->Picture();
  const int height = 2 * page.reference.height;
  ASSERT_NEAR(picture.width(), height, 2);  // turned: the page's height across
  ASSERT_EQ(picture.height(), page.width);
  // Scroll to somewhere with text, then compare what the screen shows.
  viewer.View()->horizontalScrollBar()->setValue(picture.width() / 3);
  viewer.View()->verticalScrollBar()->setValue(picture.height() / 3);
  QApplication::processEvents();
  const QImage screen = viewer.View()->viewport()->grab().toImage();
  const QPoint origin = viewer.View()->PictureOrigin();
  int compared = 0, wrong = 0, black = 0;
  for (int y = 0; y < screen.height(); ++y) {
    for (int x = 0; x < screen.width(); ++x) {
      const int px = x - origin.x();
      const int py = y - origin.y();
      if (px < 0 || py < 0 || px >= picture.width() || py >= picture.height()) continue;
      const bool shownBlack = qGray(screen.pixel(x, y)) < 128;
      const bool expected = test::ShownBlack(page, 1, px, py, picture.width(), picture.height());
      wrong += shownBlack != expected;
      black += expected;
      ++compared;
    }
  }
  EXPECT_GT(compared, 200000);
  EXPECT_GT(black, 1000);  // the comparison saw the page's text
  EXPECT_EQ(wrong, 0);
}

// The keys and boxes move between pages and zoom steps; Copy puts the
// page at 1:1 on the clipboard, Print prints every page.
TEST_F(WindowTest, ViewerKeysPageBoxCopyAndPrint) {
  FaxViewer viewer(QString::fromStdString(ThreePageFax(dir)));
  viewer.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&viewer));
  ASSERT_TRUE(Shown(viewer));
  QTest::keyClick(&viewer, Qt::Key_PageDown);
  EXPECT_EQ(viewer.Model().Page(), 1);
  QTest::keyClick(&viewer, Qt::Key_PageUp);
  QTest::keyClick(&viewer, Qt::Key_PageUp);
  EXPECT_EQ(viewer.Model().Page(), 0);
  viewer.PageBox()->setFocus();
  viewer.PageBox()->selectAll();
  QTest::keyClicks(viewer.PageBox(), "3");
  QTest::keyClick(viewer.PageBox(), Qt::Key_Return);
  EXPECT_EQ(viewer.Model().Page(), 2);
  viewer.PageBox()->setText("9");
  QTest::keyClick(viewer.PageBox(), Qt::Key_Return);
  EXPECT_EQ(viewer.Model().Page(), 2);
  EXPECT_EQ(viewer.PageBox()->text(), "3");

  const Extent page{viewer.Pages()->Extent(2).width, viewer.Pages()->Extent(2).height};
  const Extent area{viewer.View()->DeviceViewport().width(), viewer.View()->DeviceViewport().height()};
  const double fit = viewer.Model().ScaleFor(page, area);
  QTest::keyClick(&viewer, Qt::Key_Plus);
  EXPECT_DOUBLE_EQ(viewer.Model().ScaleFor(page, area), fit * ViewerModel::kZoomStep);
  QWheelEvent wheel(QPointF(10, 10), viewer.View()->viewport()->mapToGlobal(QPointF(10, 10)), QPoint(), QPoint(0, -240),
                    Qt::NoButton, Qt::ControlModifier, Qt::NoScrollPhase, false);
  QApplication::sendEvent(viewer.View()->viewport(), &wheel);
  EXPECT_NEAR(viewer.Model().ScaleFor(page, area), fit / ViewerModel::kZoomStep, 1e-9);
  // As wide as the page area, once the scroll bar the long page needs is
  // in place.
  viewer.Action("fitWidth")->trigger();
  EXPECT_TRUE(QTest::qWaitFor(
      [&] { return std::abs(viewer.View()->Picture().width() - viewer.View()->DeviceViewport().width()) <= 1; },
      10000));

  viewer.Action("copy")->trigger();
  const QImage copied = QApplication::clipboard()->image();
  EXPECT_EQ(copied.width(), test::RealPageNamed(kPageNames[2]).width);
  EXPECT_NEAR(copied.height(), 2 * test::RealPageNamed(kPageNames[2]).reference.height, 2);

  QPrinter printer;
  printer.setOutputFormat(QPrinter::PdfFormat);
  printer.setOutputFileName(QString::fromStdString(dir.File("printed.pdf")));
  viewer.Print(printer);
  test::CommandResult info = test::RunCommand("pdfinfo " + test::ShellQuote(dir.File("printed.pdf")));
  ASSERT_EQ(info.exitCode, 0) << info.output;
  EXPECT_THAT(info.output, ::testing::ContainsRegex("Pages: +3\n"));
}

// Files the viewer cannot show say why; a hostile page is refused alone.
TEST_F(WindowTest, ViewerRefusesWhatItCannotShowWithTheReason) {
  test::WriteFileText(dir.File("text.fxd"), "plain text, no fax");
  FaxViewer refused(QString::fromStdString(dir.File("text.fxd")));
  refused.show();
  EXPECT_EQ(refused.Pages(), nullptr);
  EXPECT_THAT(refused.View()->Note().toStdString(), HasSubstr(dir.File("text.fxd") + ": not a WinFax file"));
  EXPECT_FALSE(refused.Action("print")->isEnabled());

  std::vector<tools::WinFaxPageLayout> pages = {test::WinFaxPageOf(test::RealPageNamed("text-fine-g4")),
                                                test::WhiteRowsPage(65535, 100, 1)};
  ASSERT_TRUE(tools::WriteWinFaxFile(dir.File("mixed.fxd"), pages));
  FaxViewer mixed(QString::fromStdString(dir.File("mixed.fxd")));
  mixed.show();
  ASSERT_TRUE(Shown(mixed));
  EXPECT_FALSE(mixed.View()->Picture().isNull());
  mixed.GoTo(1);
  ASSERT_TRUE(Shown(mixed));
  EXPECT_THAT(mixed.View()->Note().toStdString(), HasSubstr("Page 2 cannot be shown: page too large to preview"));
}

// "Convert..." takes the fax to the main window for this session only: the
// settings saved at the end keep the source, its kind and the options the
// kind cleared.
TEST_F(WindowTest, ConvertFromTheViewerIsAOneOffSourceThatIsNotSaved) {
  const std::string saved = "[Main]\nFaxDir=/srv/in\nSaveDir=/srv/out\n[Options]\nDirFile=0\nSubdir=1\nCyclely=1\n";
  test::WriteFileText(processPaths.settingsPath, saved);
  const std::string fax = ThreePageFax(dir);
  MainDialog& main = Open();
  FaxViewer* viewer = main.ShowViewer(QString::fromStdString(fax));
  viewer->Action("convert")->trigger();
  EXPECT_EQ(Control<QLineEdit>(&main, kIdSource)->text().toStdString(), fax);
  EXPECT_TRUE(Page().Options().convertFiles);
  EXPECT_EQ(Page().Preview()->FaxPath().toStdString(), fax);
  SetText(kIdDestination, "/srv/new-out");  // the user's own change is kept
  main.CloseAll(1);
  ProfileFile profile = ProfileFile::Load(processPaths.settingsPath);
  EXPECT_EQ(profile.GetString("Main", "FaxDir", ""), "/srv/in");
  EXPECT_EQ(profile.GetString("Main", "SaveDir", ""), "/srv/new-out");
  EXPECT_EQ(profile.GetInt("Options", "DirFile", -1), 0);
  EXPECT_EQ(profile.GetInt("Options", "Subdir", -1), 1);
  EXPECT_EQ(profile.GetInt("Options", "Cyclely", -1), 1);
  EXPECT_FALSE(main.Viewers().front() && main.Viewers().front()->isVisible());  // closed with the window
}

// A double-click on the preview opens the viewer on the fax it shows.
TEST_F(WindowTest, DoubleClickOnThePreviewOpensTheViewer) {
  const std::string fax = ThreePageFax(dir);
  MainDialog& main = Open();
  QSignalSpy shown(Page().Preview(), &PreviewPane::Shown);
  Page().Preview()->ShowFax(QString::fromStdString(fax));
  ASSERT_TRUE(shown.count() > 0 || shown.wait(10000));
  QTest::mouseDClick(Page().Preview(), Qt::LeftButton);
  ASSERT_EQ(main.Viewers().size(), 1u);
  EXPECT_EQ(main.Viewers().front()->Path().toStdString(), fax);
}

}  // namespace
}  // namespace tamarind::gui
