#include "window/gui_run.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>
#include <tuple>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "convert/output_names.h"
#include "support/test_files.h"
#include "window/convert_form.h"
#include "window/file_selection.h"
#include "window/help.h"
#include "window/theme_colours.h"
#include "window/window_texts.h"

namespace tamarind {
namespace {

using test::ScopedTempDir;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

// Texts read as they always did: unquoted blanks split (the first piece is
// the folder), quoted pieces stay whole, doubled blanks drop no name. What
// the window writes reads back.
TEST(FileSelection, OldTextsReadAsBeforeAndFormattedOnesReadBack) {
  const struct {
    std::string_view text;
    std::string folder;
    std::vector<std::string> names;
  } cases[] = {
      {"/home/u/faxes/a.fxd", "/home/u/faxes", {"a.fxd"}},
      {"/home/u/faxes a.fxd b.fxm", "/home/u/faxes", {"a.fxd", "b.fxm"}},
      {"/home/u/my faxes/a.fxd", "/home/u/my", {"faxes/a.fxd"}},
      {"\"/home/u/my faxes\" \"a b.fxd\" c.fxd", "/home/u/my faxes", {"a b.fxd", "c.fxd"}},
      {"\"/home/u/my faxes/a b.fxd\"", "/home/u/my faxes", {"a b.fxd"}},
      {"/f a.fxd  b.fxd", "/f", {"a.fxd", "b.fxd"}},
      {"/a.fxd", "/", {"a.fxd"}},
      {"a.fxd", "", {"a.fxd"}},
      {"   ", "", {}},
  };
  for (const auto& c : cases) {
    const FileSelection read = ParseFileSelection(c.text);
    EXPECT_EQ(read.folder, c.folder) << c.text;
    EXPECT_EQ(read.names, c.names) << c.text;
    // The window writes names of files in the folder, never a path below it.
    if (c.folder.empty() || c.names.empty() || c.names.front().find('/') != std::string::npos) continue;
    const FileSelection back = ParseFileSelection(FormatFileSelection(c.folder, c.names));
    EXPECT_EQ(back.folder, c.folder) << c.text;
    EXPECT_EQ(back.names, c.names) << c.text;
  }
  EXPECT_EQ(FormatFileSelection("/srv/fax", std::vector<std::string>{"a.fxd", "b.fxd"}), "/srv/fax a.fxd b.fxd");
}

// The words of a row follow the one judgement of a file: a fax that lost
// a page, or whose text could not be read, is failed though its pages were
// written.
TEST(RunResults, WordsForEveryOutcome) {
  auto word = [](int result) { return ResultText(Classify(FileOutcome::Of(result))); };
  EXPECT_EQ(word(kConverted), "Converted!");
  EXPECT_EQ(word(kSkipped), "Already exist, skipped!");
  EXPECT_EQ(word(kNotWinFax), "Not WinFax File!");
  EXPECT_EQ(word(kNotFax), "Not WinFax File!");
  for (int failure : {kFolderNotCreated, kOutputIsSource, kJpegFailed, kException})
    EXPECT_EQ(word(failure), "Failed!") << failure;
  FileOutcome unread = FileOutcome::Of(kConverted);
  unread.pagesUnrecognised = {2};
  EXPECT_EQ(ResultText(Classify(unread)), "Failed!");
  FileOutcome undated = FileOutcome::Of(kConverted);
  undated.extrasFailed = 1;
  EXPECT_EQ(ResultText(Classify(undated)), "Failed!");
}

// The tooltip of a row lists the files it wrote up to a limit, then says
// how many more. (The cell and the whole list are checked where the window
// shows them.)
TEST(RunTexts, OutputsToolTipStopsAtItsLimit) {
  const std::vector<std::string> pages = {"/out/m001.jpg", "/out/m002.jpg", "/out/m003.jpg"};
  EXPECT_EQ(OutputsToolTip(pages, 2), "/out/m001.jpg\n/out/m002.jpg\n... 1 more");
  EXPECT_EQ(OutputsToolTip(pages, 3), "/out/m001.jpg\n/out/m002.jpg\n/out/m003.jpg");
}

// The automatic conversion line counts its minutes and shows the next time
// as a clock does. (The captions and the notification area's tips are
// checked where the window shows them.)
TEST(WindowTexts, TheTimerLineReadsAsAClock) {
  EXPECT_EQ(AutoConvertText(5, 14, 5), "Automatic conversion every 5 minutes, next at 14:05");
  EXPECT_EQ(AutoConvertText(1, 0, 0), "Automatic conversion every 1 minute, next at 00:00");
}

// Light and dark desktops both give text that reads well on every
// background of the window; a light desktop still looks like the program.
TEST(ThemeColours, ReadableOnLightAndDarkDesktops) {
  const DesktopColours desktops[] = {
      {{239, 239, 239}, {0, 0, 0}, {255, 255, 255}, {0, 0, 0}},        // light
      {{49, 54, 59}, {239, 240, 241}, {35, 38, 41}, {239, 240, 241}},  // dark
      {{255, 255, 255}, {90, 90, 90}, {255, 255, 255}, {90, 90, 90}},  // light with grey text
  };
  for (const DesktopColours& desktop : desktops) {
    const WindowColours colours = ThemedColours(desktop);
    const double wanted = std::min(kReadableContrast, ContrastRatio(desktop.windowText, desktop.window));
    EXPECT_GE(ContrastRatio(colours.text, colours.pageBackground), wanted - 0.05);
    EXPECT_GE(ContrastRatio(colours.text, colours.mainBackground), wanted - 0.05);
    EXPECT_GE(ContrastRatio(colours.editText, colours.editBackground),
              std::min(kReadableContrast, ContrastRatio(desktop.text, desktop.base)) - 0.05);
    // Dark stays dark, light stays light.
    EXPECT_LT(std::abs(ContrastRatio(colours.pageBackground, desktop.window)), 1.5);
  }
  const WindowColours light = ThemedColours(desktops[0]);
  EXPECT_GT(light.pageBackground.green, light.pageBackground.red);  // mint
  EXPECT_GT(light.text.blue, light.text.red);                       // blue
}

// A fax taken for one session leaves the saved source and the options its
// source kind cleared as they were, unless the user changed the source.
TEST(OneOffSource, TheSavedSourceAndKindStay) {
  OneOffSource oneOff;
  oneOff.sourceText = "/faxes/a.fxd";
  oneOff.savedFields = {"/srv/in", "/srv/out"};
  oneOff.savedOptions.conversion.includeSubfolders = true;
  oneOff.savedOptions.autoConvert = true;
  PageOptions now;
  now.conversion.convertFiles = true;
  now.conversion.quality = 80;  // changed meanwhile: saved
  MainFields fields{"/faxes/a.fxd", "/new/out"};
  KeepSavedSource(oneOff, fields, now);
  EXPECT_EQ(fields.sourceText, "/srv/in");
  EXPECT_EQ(fields.destinationText, "/new/out");
  EXPECT_FALSE(now.conversion.convertFiles);
  EXPECT_TRUE(now.conversion.includeSubfolders);
  EXPECT_TRUE(now.autoConvert);
  EXPECT_EQ(now.conversion.quality, 80);
  MainFields typed{"/typed/in", "/new/out"};
  PageOptions kept;
  kept.conversion.convertFiles = true;
  KeepSavedSource(oneOff, typed, kept);
  EXPECT_EQ(typed.sourceText, "/typed/in");
  EXPECT_TRUE(kept.conversion.convertFiles);
}

TEST(AutoConvert, PeriodHeldToWhatATimerCounts) {
  EXPECT_EQ(AutoConvertIntervalMs(60), 3600000);
  EXPECT_EQ(AutoConvertIntervalMs(0), 60000);
  EXPECT_EQ(AutoConvertIntervalMs(-5), 60000);
  EXPECT_EQ(AutoConvertIntervalMs(35791), 35791 * 60000);
  EXPECT_EQ(AutoConvertIntervalMs(1000000), 35791 * 60000);
}

TEST(HelpDocument, BesideTheProgramFirstThenInstalledElseSaysWhereItLooked) {
  ScopedTempDir dir;
  constexpr std::string_view kFromBin = "../share/tamarind/manual.html";
  const std::string module = dir.File("bin/tamarind");
  const std::string installed = dir.File("share/tamarind/manual.html");
  std::filesystem::create_directories(dir.File("bin"));
  std::filesystem::create_directories(dir.File("share/tamarind"));
  EXPECT_EQ(HelpDocumentPath(module, kFromBin).reason(), "Help file not found: " + installed);
  test::WriteFileText(installed, "<html></html>");
  EXPECT_EQ(HelpDocumentPath(module, kFromBin).value(), installed);
  test::WriteFileText(dir.File("bin/tamarind.html"), "<html></html>");
  EXPECT_EQ(HelpDocumentPath(module, kFromBin).value(), dir.File("bin/tamarind.html"));
  test::WriteFileText(dir.File("bin/tamarind.chm"), "chm");
  EXPECT_EQ(HelpDocumentPath(module, kFromBin).value(), dir.File("bin/tamarind.chm"));
  EXPECT_EQ(HelpDocumentPath(dir.File("bin/tamarind.exe"), kFromBin).value(), dir.File("bin/tamarind.chm"));
}

struct Recorder : RunEvents {
  std::vector<std::string> lines;
  std::vector<FinishedFile> finished;
  std::vector<RunProgress> progress;  // as planned, then after each file
  void SaveDirFailed(const std::string& reason) override { lines.push_back("savedir " + reason); }
  void RunPlanned(const RunProgress& planned) override { progress.push_back(planned); }
  void FileStarted(size_t i, const std::string& s) override { lines.push_back(std::to_string(i) + " " + s); }
  void FileFinished(size_t i, const FinishedFile& file, const RunProgress& now) override {
    lines.push_back(std::to_string(i) + " " + (file.outputs.empty() ? "" : file.outputs.front()) + " " +
                    std::string(ResultText(file.result)));
    finished.push_back(file);
    progress.push_back(now);
  }
  void RunFinished(const RunProgress& progress, bool cancelled) override {
    lines.push_back((cancelled ? "cancelled " : "done ") + std::to_string(progress.converted));
  }
};

// A run from the folder "in" to "out" of a scratch folder, logged to its
// "tmdlog.txt", told to |events|.
class RunConversionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    job.Reset();
    plan.options.source = dir.File("in");
    plan.options.destination = dir.File("out");
    plan.logPath = dir.File("tmdlog.txt");
  }
  int Run() { return RunConversion(job, plan, stop, events); }

  ScopedTempDir dir;
  ConversionJob job;
  RunPlan plan;
  std::atomic<bool> stop{false};
  Recorder events;
};

// Counting the pages before a run must not wait on a pipe for a writer nor
// read a device without end.
TEST(CountFaxPages, PipesAndDevicesHoldNoPages) {
  ScopedTempDir dir;
  ASSERT_EQ(mkfifo(dir.File("pipe.fxd").c_str(), 0600), 0);
  ASSERT_EQ(symlink("/dev/zero", dir.File("zeros.fxd").c_str()), 0);
  for (const char* name : {"pipe.fxd", "zeros.fxd"}) EXPECT_EQ(CountFaxPages(dir.File(name)), 0) << name;
}

TEST_F(RunConversionTest, ReportsEachFileLogsAndStopsBetweenFiles) {
  job.files = {"a.fxd", "b.fxd", "c.fxd"};
  plan.options.destination = dir.File("out/deeper");
  // A fresh account has none of the default log's folders yet.
  plan.logPath = dir.File("state/tamarind/log/tmdlog.txt");
  plan.options.keepDate = true;
  plan.options.quality = 0;  // kept as typed
  plan.options.skipExisting = true;
  plan.options.workers = 1;
  std::vector<std::string> seen;
  job.converter = [&](ConversionJob& j, const std::string& s, const std::string& o) {
    seen.push_back(s + " -> " + o);
    EXPECT_EQ(j.options, plan.options);
    j.report += "line for " + s + "\r\n";
    if (s.ends_with("b.fxd")) stop = true;  // Cancel while b converts
    return FileOutcome::Of(s.ends_with("a.fxd") ? kConverted : kJpegFailed);
  };
  EXPECT_EQ(Run(), 1);
  EXPECT_TRUE(test::FileExists(plan.options.destination));
  EXPECT_THAT(events.lines,
              ElementsAre("0 " + dir.File("in/a.fxd"), "0 " + dir.File("out/deeper/a.jpg") + " Converted!",
                          "1 " + dir.File("in/b.fxd"), "1  Failed!", "cancelled 1"));
  std::string log = test::ReadFileText(plan.logPath);
  EXPECT_THAT(log, HasSubstr(GuiReportHeader(plan.options.source, plan.options.destination) + "line for " +
                             dir.File("in/a.fxd") + "\r\nline for " + dir.File("in/b.fxd") + "\r\n"));
}

// The bar's units are pages, counted before the run: a 4-page fax weighs
// four, a file that is no fax one. Each file adds its own share as it ends.
// (Totals, rows and outputs are checked where the window shows them.)
TEST_F(RunConversionTest, ProgressCountsEachFilesPagesAsItEnds) {
  namespace fs = std::filesystem;
  fs::create_directories(dir.File("in"));
  for (const char* name : {"multipage.fxd", "fine-g3.fxs"})
    fs::copy_file(test::SourceDir() + "/samples/" + name, dir.File("in/") + name);
  test::WriteFileText(dir.File("in/broken.fxd"), "no fax");
  job.files = {"multipage.fxd", "broken.fxd", "fine-g3.fxs"};
  EXPECT_EQ(Run(), 2);
  std::vector<std::tuple<int64_t, int64_t, int64_t>> seen;  // units, pages, failures
  for (const RunProgress& p : events.progress) seen.emplace_back(p.unitsDone, p.pagesDone, p.failures);
  const int64_t pages = events.progress.front().pages;  // the sample of several pages, and one
  EXPECT_EQ(events.progress.front().units, pages + 1);
  EXPECT_THAT(seen, ElementsAre(std::tuple(0, 0, 0), std::tuple(pages - 1, pages - 1, 0),
                                std::tuple(pages, pages - 1, 1), std::tuple(pages + 1, pages, 1)));
}

TEST(RunProgress, TextShowsFilesPagesFailuresAndTimeLeftOnceThereIsAPace) {
  RunProgress progress{.files = 80, .filesDone = 0, .pages = 240, .pagesDone = 0, .units = 240, .unitsDone = 0};
  EXPECT_EQ(ProgressText(progress), "0 of 80 files, 0 of 240 pages, 0 failed");
  progress.filesDone = 20;
  progress.pagesDone = 60;
  progress.unitsDone = 60;
  progress.failures = 2;
  progress.seconds = 40;  // 60 of 240 units in 40 s: 120 s to go
  EXPECT_EQ(ProgressText(progress), "20 of 80 files, 60 of 240 pages, 2 failed, about 2 min left");
  EXPECT_EQ(RunningText(progress, "sub/a.fxd"),
            "20 of 80 files, 60 of 240 pages, 2 failed, about 2 min left. Doing: sub/a.fxd");
}

TEST(RunProgress, TimeLeftInWordsAtEveryScale) {
  const std::pair<double, const char*> cases[] = {
      {0.2, "about 5 s left"},
      {41, "about 45 s left"},
      {59.5, "about 60 s left"},
      {60, "about 1 min left"},
      {89 * 60 + 20, "about 89 min left"},
      {125 * 60, "about 2 h 5 min left"},
  };
  for (auto [seconds, text] : cases) EXPECT_EQ(TimeLeftText(seconds), text) << seconds;
}

TEST(ShownPath, RelativeBelowTheFolderWholeElsewhere) {
  const std::tuple<const char*, const char*, const char*> cases[] = {
      {"/in/a.fxd", "/in", "a.fxd"},
      {"/in/sub/a.fxd", "/in/", "sub/a.fxd"},
      {"/inbox/a.fxd", "/in", "/inbox/a.fxd"},
      {"/in", "/in", "/in"},
      {"/a.fxd", "/", "a.fxd"},
      {"/other/a.fxd", "", "/other/a.fxd"},
  };
  for (auto [path, folder, shown] : cases) EXPECT_EQ(ShownPath(path, folder), shown) << path << " in " << folder;
}

TEST_F(RunConversionTest, SeveralWorkersTellRowsAndReportInListOrder) {
  for (int i = 0; i < 8; ++i) job.files.push_back(std::to_string(i) + ".fxd");
  plan.options.workers = 3;
  // Early files take longest, so later ones end first.
  job.converter = [](ConversionJob& j, const std::string& s, const std::string&) {
    const int n = s[s.size() - 5] - '0';
    std::this_thread::sleep_for(std::chrono::milliseconds(16 - 2 * n));
    j.report += std::to_string(n) + "\r\n";
    return FileOutcome::Of(n % 3 == 0 ? kConverted : kJpegFailed);
  };
  EXPECT_EQ(Run(), 3);
  // Rows start and end in list order though later files end first, each
  // after it started; the report holds the files in list order.
  std::vector<std::string> starts, ends, expectedStarts, expectedEnds;
  for (const std::string& line : events.lines) (line.find(".fxd") != std::string::npos ? starts : ends).push_back(line);
  for (int i = 0; i < 8; ++i) {
    const std::string n = std::to_string(i);
    expectedStarts.push_back(n + " " + dir.File("in/" + n + ".fxd"));
    expectedEnds.push_back(n + " " + (i % 3 == 0 ? dir.File("out/" + n + ".jpg") + " Converted!" : " Failed!"));
  }
  expectedEnds.push_back("done 3");
  EXPECT_EQ(starts, expectedStarts);
  EXPECT_EQ(ends, expectedEnds);
  auto at = [&](const std::string& line) { return std::find(events.lines.begin(), events.lines.end(), line); };
  for (int i = 0; i < 8; ++i) EXPECT_LT(at(expectedStarts[i]), at(expectedEnds[i]));
  EXPECT_THAT(test::ReadFileText(plan.logPath), HasSubstr("0\r\n1\r\n2\r\n3\r\n4\r\n5\r\n6\r\n7\r\n"));
}

TEST_F(RunConversionTest, AnUnreadableSourceFolderIsInTheReport) {
  plan.options.source = BuildFileList(job, dir.File("missing"), ConversionOptions{});
  Run();
  EXPECT_THAT(job.GetReport(), HasSubstr("Failed to read folder: " + dir.File("missing")));
  EXPECT_THAT(events.lines, ElementsAre("done 0"));
}

TEST(BuildFileList, FileModeListsTheNamesAndFolderModeNeedsAFolder) {
  ConversionJob job;
  job.Reset();
  job.files = {"stale"};
  ConversionOptions files;
  files.convertFiles = true;
  EXPECT_EQ(BuildFileList(job, "\"/my faxes\" a.fxd \"b c.fxd\"", files), "/my faxes");
  EXPECT_EQ(job.options.source, "/my faxes");
  EXPECT_THAT(job.files, ElementsAre("a.fxd", "b c.fxd"));
  EXPECT_EQ(BuildFileList(job, "", ConversionOptions{}), "");
  EXPECT_TRUE(job.files.empty());
}

// What both windows' Go does: the first thing missing is said, and a run
// takes the fields as typed, skipping existing outputs only by the timer.
TEST(ConvertForm, GoSaysWhatIsMissingAndThePlanCarriesTheFields) {
  ScopedTempDir dir;
  ConvertForm form;
  form.options.convertFiles = true;
  form.options.recognizeText = false;
  struct Case {
    bool running;
    std::string source, destination, refusal;
  } cases[] = {
      {true, "\"" + dir.Path() + "\" a.fxd", "out", std::string(kStopWaitMessage)},
      {false, "", "out", std::string(kNoSourceMessage)},
      {false, "\"" + dir.Path() + "\" a.fxd", "", NoDestinationMessage(form.options.format)},
      {false, "\"" + dir.Path() + "\" a.fxd", "out", ""},
  };
  for (const Case& c : cases) {
    form.sourceText = c.source;
    form.destinationText = c.destination;
    EXPECT_EQ(form.GoRefusal(c.running), c.refusal) << c.source << " -> " << c.destination;
  }
  form.filterText = "*.fxr";
  for (bool byTimer : {false, true}) {
    const RunPlan plan = form.Plan(byTimer);
    EXPECT_EQ(plan.options.source, dir.Path());
    EXPECT_EQ(plan.options.destination, "out");
    EXPECT_EQ(plan.options.filter, "*.fxr");
    EXPECT_EQ(plan.options.skipExisting, byTimer);
  }
  EXPECT_THAT(form.job.files, ElementsAre("a.fxd"));
}

}  // namespace
}  // namespace tamarind
