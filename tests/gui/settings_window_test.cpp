// The settings file as the window reads and writes it.
#include <gmock/gmock.h>

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTest>

#include "gui_fixture.h"
#include "window/profile.h"

namespace tamarind::gui {
namespace {

using ::testing::HasSubstr;

constexpr const char* kAllKeys[] = {"DirFile",  "Subdir",  "Hiberarchy", "KeepDate", "KeepExt",
                                    "Optimize", "Quality", "Recaculate", "Cyclely",  "CycleMinutes"};

TEST_F(WindowTest, WithoutSettingsFileShowsDefaultsAndSavesAllTwelveKeys) {
  MainDialog& main = Open();
  EXPECT_TRUE(IsChecked(kIdConvertDirectory));
  EXPECT_FALSE(IsChecked(kIdConvertFiles));
  EXPECT_TRUE(IsChecked(kIdKeepExtension));
  EXPECT_TRUE(IsChecked(kIdOptimize));
  EXPECT_FALSE(IsChecked(kIdAutoConvert));
  EXPECT_EQ(Control<QLineEdit>(&main, kIdQuality)->text(), "50");
  EXPECT_EQ(Control<QLineEdit>(&main, kIdMinutes)->text(), "60");
  EXPECT_EQ(Control<QLineEdit>(&main, kIdFilter)->text(), "*.*");
  EXPECT_EQ(Page().StatusText().toStdString(), kFirstStatusText);
  EXPECT_FALSE(test::FileExists(processPaths.settingsPath));  // nothing saved while running

  SetText(kIdSource, "/srv/fax in");
  SetText(kIdDestination, "/srv/jpeg");
  main.CloseAll(2);
  ProfileFile saved = ProfileFile::Load(processPaths.settingsPath);
  EXPECT_EQ(saved.GetString("Main", "FaxDir", "?"), "/srv/fax in");
  EXPECT_EQ(saved.GetString("Main", "SaveDir", "?"), "/srv/jpeg");
  for (const char* key : kAllKeys) EXPECT_NE(saved.GetString("Options", key, "missing"), "missing") << key;
  EXPECT_EQ(ReadPageOptions(saved, 5), PageOptions{});
}

TEST_F(WindowTest, SavedValuesComeBackAndUnknownLinesAndRecaculateStay) {
  test::WriteFileText(
      processPaths.settingsPath,
      "; my notes\n[Main]\nFaxDir=\"/srv/my faxes\" a.fxd \"b c.fxd\"\nSaveDir=/out\n"
      "[Options]\nDirFile=1\nHiberarchy=1\nKeepDate=1\nKeepExt=0\nOptimize=0\nQuality=-4\nRecaculate=3\n"
      "CycleMinutes=0\nColour=green\nFormat=PDF\nOcr=1\nOcrLanguages=eng+deu\n[Elsewhere]\nx=y\n");
  MainDialog& main = Open();
  EXPECT_TRUE(IsChecked(kIdConvertFiles));
  EXPECT_EQ(Control<QComboBox>(&main, kIdFormat)->currentIndex(), static_cast<int>(OutputFormat::Pdf));
  EXPECT_TRUE(IsChecked(kIdRecognizeText));
  EXPECT_EQ(Control<QComboBox>(&main, kIdOcrLanguages)->currentText(), "eng+deu");
  // File mode disables what it disables after a click, but unchecks nothing.
  for (int id : {kIdIncludeSubdir, kIdKeepHierarchy, kIdAutoConvert})
    EXPECT_FALSE(Control<QCheckBox>(&main, id)->isEnabled()) << id;
  EXPECT_TRUE(IsChecked(kIdKeepHierarchy));
  EXPECT_TRUE(IsChecked(kIdKeepDate));
  EXPECT_FALSE(IsChecked(kIdKeepExtension));
  // Numbers outside their ranges are held to them.
  EXPECT_EQ(Control<QLineEdit>(&main, kIdQuality)->text(), "1");
  EXPECT_EQ(Control<QLineEdit>(&main, kIdMinutes)->text(), "1");
  EXPECT_EQ(Control<QLineEdit>(&main, kIdSource)->text(), QString(R"("/srv/my faxes" a.fxd "b c.fxd")"));
  EXPECT_EQ(conversionSettings.recalcLines, 3);
  // The Convert tab got the Options tab's values at start.
  EXPECT_EQ(Page().Options(), Options().Options().conversion);
  EXPECT_EQ(Page().Options().quality, 1);

  main.CloseAll(1);
  std::string text = test::ReadFileText(processPaths.settingsPath);
  EXPECT_THAT(text, HasSubstr("; my notes\n[Main]\nFaxDir=\"/srv/my faxes\" a.fxd \"b c.fxd\"\n"));
  EXPECT_THAT(text, HasSubstr("Recaculate=3\n"));
  EXPECT_THAT(text, HasSubstr("Quality=1\n"));
  EXPECT_THAT(text, HasSubstr("CycleMinutes=1\nColour=green\nFormat=pdf\nOcr=1\nOcrLanguages=eng+deu\n"));
  EXPECT_THAT(text, HasSubstr("[Elsewhere]\nx=y\n"));
  ProfileFile saved = ProfileFile::Load(processPaths.settingsPath);
  EXPECT_EQ(saved.GetString("Main", "FaxDir", ""), "\"/srv/my faxes\" a.fxd \"b c.fxd\"");
}

// "Embed original" shows the saved "Embed", can be changed for PDFs only
// (other formats keep it as it was), sits clear of the other controls, and
// reaches the Convert tab and the settings file.
TEST_F(WindowTest, EmbedOriginalIsForPdfsOnlyAndKeepsItsState) {
  test::WriteFileText(processPaths.settingsPath, "[Options]\nFormat=pdf\nEmbed=1\n");
  MainDialog& main = Open();
  main.Tabs()->setCurrentIndex(1);
  auto* embed = Control<QCheckBox>(&main, kIdEmbedSource);
  auto* format = Control<QComboBox>(&main, kIdFormat);
  EXPECT_TRUE(Page().Options().embedSource);
  EXPECT_TRUE(embed->isChecked());
  EXPECT_TRUE(embed->isEnabled());
  ASSERT_TRUE(embed->isVisible());
  for (QWidget* other : embed->parentWidget()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
    if (other == embed || !other->isVisible() || qobject_cast<QGroupBox*>(other)) continue;
    EXPECT_FALSE(other->geometry().intersects(embed->geometry())) << other->metaObject()->className();
  }

  for (OutputFormat other : {OutputFormat::Jpeg, OutputFormat::Tiff}) {
    format->setCurrentIndex(static_cast<int>(other));
    EXPECT_FALSE(embed->isEnabled()) << static_cast<int>(other);
    EXPECT_TRUE(embed->isChecked()) << static_cast<int>(other);
  }
  format->setCurrentIndex(static_cast<int>(OutputFormat::Pdf));
  ASSERT_TRUE(embed->isEnabled());
  Click(kIdEmbedSource);  // off
  main.Tabs()->setCurrentIndex(0);
  EXPECT_FALSE(Page().Options().embedSource);
  main.CloseAll(1);
  EXPECT_FALSE(ReadPageOptions(ProfileFile::Load(processPaths.settingsPath), 0).conversion.embedSource);
  EXPECT_THAT(test::ReadFileText(processPaths.settingsPath), HasSubstr("Embed=0\n"));
}

TEST_F(WindowTest, SavedAutomaticConversionAndTheMessageStartAndStopTheTimer) {
  test::WriteFileText(processPaths.settingsPath, "[Options]\nCyclely=1\nCycleMinutes=3\n");
  MainDialog& main = Open();
  EXPECT_FALSE(Page().AutoConvertActive());
  main.ApplyAutoConvert();
  EXPECT_TRUE(Page().AutoConvertActive());
  EXPECT_EQ(Page().AutoConvertIntervalMs(), 3 * 60000);
  EXPECT_FALSE(Control<QLineEdit>(&main, kIdMinutes)->isEnabled());
  // The automation message's state: 1 starts, anything else stops.
  main.AutoConvert(2, 7);
  EXPECT_FALSE(Page().AutoConvertActive());
  main.AutoConvert(0, 1);  // held to one minute
  EXPECT_EQ(Page().AutoConvertIntervalMs(), 60000);
}

TEST_F(WindowTest, SwitchingSourceKindClearsTheThreeBoxesAndStopsTheTimer) {
  MainDialog& main = Open();
  main.Tabs()->setCurrentIndex(1);
  for (int id : {kIdIncludeSubdir, kIdKeepHierarchy, kIdAutoConvert}) Click(id);
  EXPECT_TRUE(Page().AutoConvertActive());
  EXPECT_EQ(Page().AutoConvertIntervalMs(), 60 * 60000);

  Click(kIdConvertFiles);
  for (int id : {kIdIncludeSubdir, kIdKeepHierarchy, kIdAutoConvert}) {
    EXPECT_FALSE(IsChecked(id)) << id;
    EXPECT_FALSE(Control<QCheckBox>(&main, id)->isEnabled()) << id;
  }
  EXPECT_FALSE(Page().AutoConvertActive());
  EXPECT_TRUE(Control<QLineEdit>(&main, kIdMinutes)->isEnabled());

  Click(kIdConvertDirectory);
  for (int id : {kIdIncludeSubdir, kIdKeepHierarchy, kIdAutoConvert}) {
    EXPECT_FALSE(IsChecked(id)) << id;
    EXPECT_TRUE(Control<QCheckBox>(&main, id)->isEnabled()) << id;
  }
}

TEST_F(WindowTest, OptionsReachTheConvertTabAndTypedPathsSurviveTheTrip) {
  test::WriteFileText(processPaths.settingsPath, "[Main]\nFaxDir=/old/faxes\nSaveDir=/old/jpeg\n");
  MainDialog& main = Open();
  // Typed on the Convert tab; the focus stays in the destination box.
  SetText(kIdSource, "/new/faxes");
  SetText(kIdDestination, "/new/jpeg");
  Control<QLineEdit>(&main, kIdDestination)->setFocus();
  main.Tabs()->setCurrentIndex(1);
  SetText(kIdQuality, "77");
  Click(kIdKeepExtension);  // off
  Click(kIdKeepDate);       // on
  EXPECT_EQ(Page().Options().quality, 50);
  main.Tabs()->setCurrentIndex(0);
  EXPECT_EQ(Page().Options().quality, 77);
  EXPECT_FALSE(Page().Options().keepExtension);
  EXPECT_TRUE(Page().Options().keepDate);
  EXPECT_EQ(Control<QLineEdit>(&main, kIdSource)->text(), "/new/faxes");
  EXPECT_EQ(Control<QLineEdit>(&main, kIdDestination)->text(), "/new/jpeg");
}

struct NumberBox {
  int id;
  int defaultValue;
  int top;
};

TEST_F(WindowTest, NumberBoxesTakeDigitsInRangeOnlyAndShowTheRange) {
  MainDialog& main = Open();
  main.Tabs()->setCurrentIndex(1);
  for (NumberBox box : {NumberBox{kIdMinutes, 60, 35791}, NumberBox{kIdQuality, 50, 100}}) {
    auto* edit = Control<QLineEdit>(&main, box.id);
    const QString top = QString::number(box.top);
    EXPECT_THAT(edit->toolTip().toStdString(), HasSubstr(top.toStdString()));
    bool rangeShown = false;
    for (QLabel* label : main.findChildren<QLabel*>()) rangeShown |= label->isVisible() && label->text().contains(top);
    EXPECT_TRUE(rangeShown) << box.id;

    // Typing: letters, signs and numbers above the range never get in.
    edit->clear();
    QTest::keyClicks(edit, "-x7a");
    EXPECT_EQ(edit->text(), "7");
    QTest::keyClicks(edit, "9999999");
    EXPECT_LE(edit->text().toInt(), box.top);
    // What can still be left there (empty, 0) or put there by other means
    // keeps the value in effect, with a beep, and shows it again.
    for (const char* bad : {"", "0", "soon", "12x"}) {
      SetText(box.id, bad);
      Options().ReadControls();
      EXPECT_EQ(edit->text(), QString::number(box.defaultValue)) << box.id << " " << bad;
    }
  }
  EXPECT_EQ(Options().Options().cycleMinutes, 60);
  EXPECT_EQ(Options().Options().conversion.quality, 50);
}

}  // namespace
}  // namespace tamarind::gui
