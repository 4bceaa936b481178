#include "app/gui_run.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "support/test_files.h"

namespace tamarind {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using test::ScopedTempDir;

TEST(FileSelection, OldTextsReadAsBeforeAndQuotedPiecesStayWhole) {
  FileSelection one = ParseFileSelection("/home/u/faxes/a.fxd");
  EXPECT_EQ(one.folder, "/home/u/faxes");
  EXPECT_THAT(one.names, ElementsAre("a.fxd"));

  FileSelection several = ParseFileSelection("/home/u/faxes a.fxd b.fxm");
  EXPECT_EQ(several.folder, "/home/u/faxes");
  EXPECT_THAT(several.names, ElementsAre("a.fxd", "b.fxm"));

  // Unquoted blanks split as they always did: the first piece is the folder.
  FileSelection split = ParseFileSelection("/home/u/my faxes/a.fxd");
  EXPECT_EQ(split.folder, "/home/u/my");
  EXPECT_THAT(split.names, ElementsAre("faxes/a.fxd"));

  FileSelection quoted = ParseFileSelection("\"/home/u/my faxes\" \"a b.fxd\" c.fxd");
  EXPECT_EQ(quoted.folder, "/home/u/my faxes");
  EXPECT_THAT(quoted.names, ElementsAre("a b.fxd", "c.fxd"));

  FileSelection quotedOne = ParseFileSelection("\"/home/u/my faxes/a b.fxd\"");
  EXPECT_EQ(quotedOne.folder, "/home/u/my faxes");
  EXPECT_THAT(quotedOne.names, ElementsAre("a b.fxd"));

  // Doubled blanks no longer drop the names after them.
  EXPECT_THAT(ParseFileSelection("/f a.fxd  b.fxd").names, ElementsAre("a.fxd", "b.fxd"));
  EXPECT_EQ(ParseFileSelection("/a.fxd").folder, "/");
  EXPECT_EQ(ParseFileSelection("a.fxd").folder, "");
  EXPECT_EQ(ParseFileSelection("   ").folder, "");
}

TEST(FileSelection, FormattedTextReadsBack) {
  const std::vector<std::vector<std::string>> cases = {{"a.fxd"}, {"a b.fxd"}, {"a.fxd", "b c.fxd", "d.fxs"}};
  for (std::string folder : {"/srv/fax", "/srv/my faxes"}) {
    for (const auto& names : cases) {
      FileSelection back = ParseFileSelection(FormatFileSelection(folder, names));
      EXPECT_EQ(back.folder, folder);
      EXPECT_EQ(back.names, names);
    }
  }
  EXPECT_EQ(FormatFileSelection("/srv/fax", std::vector<std::string>{"a.fxd", "b.fxd"}), "/srv/fax a.fxd b.fxd");
}

TEST(OutputPath, ExtensionAndHierarchyRules) {
  RunPlan plan;
  plan.sourceFolder = "/in/fax.d";
  plan.destination = "/out";
  std::string nested = SourcePathFor(plan, "sub.x/a.fxd");
  EXPECT_EQ(nested, "/in/fax.d/sub.x/a.fxd");

  EXPECT_EQ(OutputPathFor(plan, nested), "/out/a.jpg");
  plan.options.keepExtension = 1;
  EXPECT_EQ(OutputPathFor(plan, nested), "/out/a.fxd.jpg");
  plan.options.keepHierarchy = 1;
  EXPECT_EQ(OutputPathFor(plan, nested), "/out/sub.x/a.fxd.jpg");
  plan.options.keepExtension = 0;
  EXPECT_EQ(OutputPathFor(plan, nested), "/out/sub.x/a.jpg");
  // A dot in a folder name is no extension, nor is a leading dot.
  EXPECT_EQ(OutputPathFor(plan, SourcePathFor(plan, "sub.x/noext")), "/out/sub.x/noext.jpg");
  EXPECT_EQ(OutputPathFor(plan, SourcePathFor(plan, ".fxd")), "/out/.fxd.jpg");
  // Only the leading folder is replaced, never the same text further on.
  plan.sourceFolder = "/in";
  EXPECT_EQ(OutputPathFor(plan, SourcePathFor(plan, "x/in/a.fxd")), "/out/x/in/a.jpg");
  plan.sourceFolder = "/in/";
  EXPECT_EQ(OutputPathFor(plan, SourcePathFor(plan, "a.fxd")), "/out/a.jpg");
}

TEST(RunResults, WordsForEveryCode) {
  EXPECT_EQ(ResultText(ClassifyResult(0)), "Converted!");
  EXPECT_EQ(ResultText(ClassifyResult(1)), "Already exist, skipped!");
  EXPECT_EQ(ResultText(ClassifyResult(-1)), "Not WinFax File!");
  EXPECT_EQ(ResultText(ClassifyResult(-5)), "Not WinFax File!");
  for (int failure : {-2, -7, -9}) EXPECT_EQ(ResultText(ClassifyResult(failure)), "Failed!") << failure;
}

TEST(RunTexts, Exact) {
  EXPECT_EQ(DoingText("/in/a.fxd"), "Doing: /in/a.fxd");
  EXPECT_EQ(DoneText(3), "Done. 3 FAX files converted");
  EXPECT_EQ(GuiReportHeader("/in", "/out"),
            "Tamarind in GUI mode : convert folder\r\nSource Folder: /in\r\nDestination Folder: /out\r\n");
}

TEST(AutoConvert, PeriodHeldToWhatATimerCounts) {
  EXPECT_EQ(AutoConvertIntervalMs(60), 3600000);
  EXPECT_EQ(AutoConvertIntervalMs(0), 60000);
  EXPECT_EQ(AutoConvertIntervalMs(-5), 60000);
  EXPECT_EQ(AutoConvertIntervalMs(35791), 35791 * 60000);
  EXPECT_EQ(AutoConvertIntervalMs(1000000), 35791 * 60000);
}

TEST(HelpDocument, ChmFirstThenManual) {
  ScopedTempDir dir;
  std::string module = dir.File("tamarind");
  EXPECT_EQ(HelpDocumentPath(module), "");
  test::WriteFileText(dir.File("tamarind.html"), "<html></html>");
  EXPECT_EQ(HelpDocumentPath(module), dir.File("tamarind.html"));
  test::WriteFileText(dir.File("tamarind.chm"), "chm");
  EXPECT_EQ(HelpDocumentPath(module), dir.File("tamarind.chm"));
  EXPECT_EQ(HelpDocumentPath(dir.File("tamarind.exe")), dir.File("tamarind.chm"));
}

struct Recorder : RunEvents {
  std::vector<std::string> lines;
  void SaveDirFailed() override { lines.push_back("savedir"); }
  void FileStarted(size_t i, const std::string& s) override { lines.push_back(std::to_string(i) + " " + s); }
  void FileFinished(size_t i, const std::string& o, FileResult r) override {
    lines.push_back(std::to_string(i) + " " + o + " " + std::string(ResultText(r)));
  }
  void RunFinished(int converted) override { lines.push_back("done " + std::to_string(converted)); }
};

TEST(RunConversion, ReportsEachFileLogsAndStopsBetweenFiles) {
  ScopedTempDir dir;
  ConversionJob job;
  job.Reset();
  job.files = {"a.fxd", "b.fxd", "c.fxd"};
  RunPlan plan;
  plan.sourceFolder = dir.File("in");
  plan.destination = dir.File("out/deeper");
  plan.logPath = dir.File("log/tmdlog.txt");
  plan.options.keepDate = 2;  // only exactly 1 turns it on
  plan.options.quality = 0;   // kept as typed
  plan.skipExisting = true;
  std::atomic<bool> stop{false};
  Recorder events;
  std::vector<std::string> seen;
  FileConverter convert = [&](ConversionJob& j, const std::string& s, const std::string& o) {
    seen.push_back(s + " -> " + o);
    EXPECT_EQ(j.skipExisting, 1);
    EXPECT_EQ(j.keepDate, 0);
    EXPECT_EQ(j.quality, 0);
    j.report += "line for " + s + "\r\n";
    if (s.ends_with("b.fxd")) stop = true;  // Cancel while b converts
    return s.ends_with("a.fxd") ? 0 : -7;
  };
  EXPECT_EQ(RunConversion(job, plan, stop, events, convert), 1);
  EXPECT_TRUE(test::FileExists(plan.destination));
  EXPECT_THAT(events.lines, ElementsAre("0 " + dir.File("in/a.fxd"), "0 " + dir.File("out/deeper/a.jpg") + " Converted!",
                                        "1 " + dir.File("in/b.fxd"), "1  Failed!", "done 1"));
  std::string log = test::ReadFileText(plan.logPath);
  EXPECT_THAT(log, HasSubstr(GuiReportHeader(plan.sourceFolder, plan.destination) + "line for " + dir.File("in/a.fxd") +
                             "\r\nline for " + dir.File("in/b.fxd") + "\r\n"));
}

TEST(RunConversion, UncreatableDestinationIsReportedAndTheRunGoesOn) {
  ScopedTempDir dir;
  test::WriteFileText(dir.File("file"), "x");
  ConversionJob job;
  job.Reset();
  job.files = {"a.fxd"};
  RunPlan plan;
  plan.sourceFolder = dir.Path();
  plan.destination = dir.File("file/out");
  std::atomic<bool> stop{false};
  Recorder events;
  RunConversion(job, plan, stop, events, [](ConversionJob&, const std::string&, const std::string&) { return -2; });
  EXPECT_THAT(events.lines, ElementsAre("savedir", "0 " + dir.File("a.fxd"), "0  Failed!", "done 0"));
}

TEST(RunConversion, AnUnreadableSourceFolderIsInTheReport) {
  ScopedTempDir dir;
  ConversionJob job;
  job.Reset();
  RunPlan plan;
  plan.sourceFolder = BuildFileList(job, dir.File("missing"), ConvertOptions{});
  plan.destination = dir.File("out");
  std::atomic<bool> stop{false};
  Recorder events;
  RunConversion(job, plan, stop, events, DefaultConverter());
  EXPECT_THAT(job.GetReport(), HasSubstr("Failed to read folder: " + dir.File("missing")));
  EXPECT_THAT(events.lines, ElementsAre("done 0"));
}

TEST(BuildFileList, FileModeListsTheNamesAndFolderModeNeedsAFolder) {
  ConversionJob job;
  job.Reset();
  job.files = {"stale"};
  ConvertOptions files;
  files.convertFiles = 1;
  EXPECT_EQ(BuildFileList(job, "\"/my faxes\" a.fxd \"b c.fxd\"", files), "/my faxes");
  EXPECT_EQ(job.source, "/my faxes");
  EXPECT_THAT(job.files, ElementsAre("a.fxd", "b c.fxd"));
  EXPECT_EQ(BuildFileList(job, "", ConvertOptions{}), "");
  EXPECT_TRUE(job.files.empty());
}

}  // namespace
}  // namespace tamarind
