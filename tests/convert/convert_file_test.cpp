// One WinFax file into JPEG files: report lines byte for byte, the files
// written and their pixels, skipping and date keeping.
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "codec/bmp/page_bmp.h"
#include "codec/jpeg/jpeg_writer.h"
#include "convert/conversion_job.h"
#include "convert/process.h"
#include "faxdoc/fax_document.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/fax_files.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using test::JpegShowsPage;
using test::RealPageNamed;
using test::ReportLines;
using test::WriteFaxFile;

class ConvertFileTest : public ::testing::Test {
 protected:
  void SetUp() override {
    processPaths.tempFolder = platform::TempFolder();
    job.Reset();
  }

  std::string Path(std::string_view name) const { return dir.File(name); }

  // Sets |path|'s modification time |secondsAgo| seconds into the past.
  static void Age(const std::string& path, int64_t secondsAgo) {
    auto status = platform::StatusOf(path);
    ASSERT_TRUE(status);
    platform::FileTime then{status->modified.seconds - secondsAgo, 0};
    ASSERT_TRUE(platform::SetFileTimes(path, then, then));
  }

  test::ScopedTempDir dir;
  ConversionJob job;
};

TEST_F(ConvertFileTest, ThreePagesGiveNumberedFilesAndTheWorkedReport) {
  std::string source = Path("in/a.fxd");
  ASSERT_TRUE(platform::MakeFolders(Path("in")));
  WriteFaxFile(source, {"text-standard-g3", "text-fine-g4", "halftone-g3"});
  std::string destination = Path("out/a.jpg");

  EXPECT_EQ(job.ConvertFile(source, destination), kConverted);

  std::string out = Path("out/");
  EXPECT_EQ(job.report, source + " --> " + destination + " : Multiple pages as following :\r\n" +
                            "        page 001 --> " + out + "a001.jpg : Success !\r\n" + "        page 002 --> " + out +
                            "a002.jpg : Success !\r\n" + "        page 003 --> " + out + "a003.jpg : Success !\r\n");
  EXPECT_FALSE(test::FileExists(destination));  // what the files hold: EveryPageIsTheFileTheBmpPathWrites
  EXPECT_EQ(job.failures, 0);
  const FileOutcome& outcome = job.lastOutcome;
  EXPECT_EQ(outcome.result, kConverted);
  EXPECT_EQ(outcome.outputs, (std::vector<std::string>{out + "a001.jpg", out + "a002.jpg", out + "a003.jpg"}));
  EXPECT_EQ(outcome.pages, 3);
  EXPECT_EQ(outcome.pagesWritten, 3);
  EXPECT_EQ(Classify(outcome), FileResult::Converted);
  EXPECT_GT(outcome.seconds, 0);
}

// The system's calls, with the fsyncs counted.
class CountedSyncs : public platform::SystemCalls {
 public:
  int Sync(int fd) const override {
    ++syncs;
    return Real().Sync(fd);
  }
  mutable int syncs = 0;
};

// /sync flushes every output, and then its folder, to the disk; without it
// nothing is flushed.
TEST_F(ConvertFileTest, SyncFlushesEveryOutputAndItsFolder) {
  const std::string source = Path("s.fxd");
  WriteFaxFile(source, {"text-standard-g3", "text-fine-g4", "halftone-g3"});
  for (const OutputFormat format : {OutputFormat::Jpeg, OutputFormat::Pdf}) {
    for (const bool sync : {true, false}) {
      CountedSyncs calls;
      job.Reset();
      job.options.format = format;
      job.options.sync = sync;
      job.systemCalls = &calls;
      ASSERT_EQ(job.ConvertFile(source, Path("s.out")), kConverted) << job.report;
      EXPECT_EQ(calls.syncs, sync ? 2 * static_cast<int>(job.lastOutcome.outputs.size()) : 0);
    }
  }
  job.systemCalls = nullptr;
}

TEST_F(ConvertFileTest, FailuresReportTheirOwnLines) {
  // Not a WinFax name: nothing at all in the report.
  job.report = "before\r\n";
  EXPECT_EQ(job.ConvertFile(Path("x.tif"), Path("x.jpg")), kNotWinFax);
  EXPECT_EQ(job.report, "before\r\n");

  // A missing file and a file that is no fax both fail to load.
  std::string missing = Path("missing.fxd");
  std::string junk = Path("junk.fxr");
  test::WriteFileText(junk, "this is not a fax");
  job.report.clear();
  EXPECT_EQ(job.ConvertFile(missing, Path("m.jpg")), kNotFax);
  EXPECT_EQ(job.ConvertFile(junk, Path("j.jpg")), kNotFax);
  EXPECT_EQ(job.report, missing + " --> " + Path("m.jpg") + " : Failed : " + missing + " - Not Fax\r\n" + junk +
                            " --> " + Path("j.jpg") + " : Failed : " + junk + " - Not Fax\r\n");

  // An output folder that cannot be made: a file is in the way.
  std::string fax = Path("a.fxd");
  WriteFaxFile(fax, {"text-fine-g3"});
  test::WriteFileText(Path("blocker"), "x");
  job.report.clear();
  EXPECT_EQ(job.ConvertFile(fax, Path("blocker/sub/a.jpg")), kFolderNotCreated);
  EXPECT_EQ(job.report,
            fax + " --> " + Path("blocker/sub/a.jpg") + " : Failed to create dir: " + Path("blocker/sub") + "\r\n");

  // The destination is the source: refused, the fax untouched.
  auto before = test::ReadFileBytes(fax);
  job.report.clear();
  EXPECT_EQ(job.ConvertFile(fax, fax), kOutputIsSource);
  EXPECT_EQ(job.report, fax + " --> " + fax + " : Failed : " + fax + " is the source file\r\n");
  EXPECT_EQ(test::ReadFileBytes(fax), before);

  EXPECT_EQ(job.failures, 5);
  EXPECT_FALSE(test::FileExists(Path("m.jpg")));
  EXPECT_FALSE(test::FileExists(Path("j.jpg")));
}

// A fax that lost a page has failed, whatever its last page did: its page
// lines keep their texts, and a last line names the page.
TEST_F(ConvertFileTest, AFailedMiddlePageFailsTheFaxAndIsNamed) {
  std::string source = Path("gap.fxm");
  WriteFaxFile(source, {"text-fine-g3", test::kEmptyPage, "text-standard-g4"});

  EXPECT_EQ(job.ConvertFile(source, Path("gap.jpg")), kJpegFailed);
  std::vector<std::string> lines = ReportLines(job.report);
  ASSERT_EQ(lines.size(), 5u) << job.report;
  EXPECT_EQ(lines[0], source + " --> " + Path("gap.jpg") + " : Multiple pages as following :");
  EXPECT_EQ(lines[1], "        page 001 --> " + Path("gap001.jpg") + " : Success !");
  EXPECT_EQ(lines[2], "Failed :  Error in converting FAX to JPEG!");
  EXPECT_EQ(lines[3], "        page 003 --> " + Path("gap003.jpg") + " : Success !");
  EXPECT_EQ(lines[4], "Failed : " + source + " - page 002 of 3 missing");
  EXPECT_FALSE(test::FileExists(Path("gap002.jpg")));
  EXPECT_TRUE(JpegShowsPage(Path("gap003.jpg"), RealPageNamed("text-standard-g4")));
  EXPECT_EQ(job.lastOutcome.pagesMissing, std::vector<unsigned>{2});
  EXPECT_EQ(job.lastOutcome.pagesWritten, 2);
  EXPECT_EQ(job.lastOutcome.reason, source + ": page 2: no line of it could be decoded");
  EXPECT_EQ(job.failures, 1);
}

// Pages go straight from their bitmaps into JPEGs; only a page the
// bilevel encoder refuses (here one with no rows) takes the temporary BMP,
// which then fails it as it always failed pages it could not prepare.
TEST_F(ConvertFileTest, OnlyARefusedPageNeedsTheTemporaryBmp) {
  processPaths.tempFolder = Path("no/such/folder");
  ConversionJob isolated;  // its temporary BMP is made on first use
  isolated.Reset();
  std::string source = Path("t.fxd");
  WriteFaxFile(source, {"text-fine-g3", test::kEmptyPage});

  EXPECT_EQ(isolated.ConvertFile(source, Path("t.jpg")), kJpegFailed);
  EXPECT_EQ(isolated.report, source + " --> " + Path("t.jpg") + " : Multiple pages as following :\r\n" +
                                 "        page 001 --> " + Path("t001.jpg") + " : Success !\r\n" +
                                 "Failed : " + source + " - Error in preparing jpeg\r\nFailed : " + source +
                                 " - page 002 of 2 missing\r\n");
  EXPECT_NE(isolated.lastOutcome.reason.find("no/such/folder"), std::string::npos) << isolated.lastOutcome.reason;
  EXPECT_TRUE(JpegShowsPage(Path("t001.jpg"), RealPageNamed("text-fine-g3")));
  EXPECT_FALSE(test::FileExists(Path("t002.jpg")));
}

// Each page's file is the one the temporary BMP and libjpeg write for the
// decoded page, at the job's quality and with its choice of tables.
TEST_F(ConvertFileTest, EveryPageIsTheFileTheBmpPathWrites) {
  std::string source = Path("all.fxm");
  const std::vector<std::string_view> pages = {"text-standard-g3", "text-fine-g4", "halftone-g3", "wide-g4"};
  WriteFaxFile(source, pages);
  FaxDocument document;
  ASSERT_EQ(document.Load(source, kWinFaxFormat), 0);
  auto bmp = platform::PrivateTempFile::Create(dir.Path(), "page", ".bmp");
  for (auto [quality, optimize] : {std::pair{20, true}, std::pair{85, false}}) {
    job.options.quality = quality;
    job.options.optimize = optimize;
    ASSERT_EQ(job.ConvertFile(source, Path("all.jpg")), kConverted) << job.report;
    for (size_t i = 0; i < pages.size(); ++i) {
      SCOPED_TRACE(std::string(pages[i]) + " at quality " + std::to_string(quality));
      ASSERT_EQ(document.DecodePage(kWinFaxFormat, static_cast<int>(i)), 0);
      ASSERT_EQ(WritePageBmp(document.Page(), **bmp), 0);
      ASSERT_EQ(WriteJpegFromBmp(**bmp, Path("reference.jpg"), quality, true, optimize), 0);
      EXPECT_TRUE(test::ReadFileBytes(Path("all00" + std::to_string(i + 1) + ".jpg")) ==
                  test::ReadFileBytes(Path("reference.jpg")));
    }
  }
}

TEST_F(ConvertFileTest, KeepDateStampsEveryPageFileWrittenAndNothingElse) {
  std::string source = Path("d.fxd");
  WriteFaxFile(source, {"text-fine-g3", test::kEmptyPage, "text-standard-g3"});
  test::WriteFileText(Path("d002.jpg"), "an older file of the failed page's name");
  auto untouched = platform::StatusOf(Path("d002.jpg"));
  platform::FileTime modified{1'100'000'000, 500};
  ASSERT_TRUE(platform::SetFileTimes(source, {1'000'000'000, 0}, modified));
  job.options.keepDate = 1;

  EXPECT_EQ(job.ConvertFile(source, Path("d.jpg")), kJpegFailed);
  // Reading the source may have moved its access time on; what counts is
  // the time it has when the copy is made, after the reading.
  auto sourceStatus = platform::StatusOf(source);
  for (const char* name : {"d001.jpg", "d003.jpg"}) {
    auto status = platform::StatusOf(Path(name));
    ASSERT_TRUE(status) << name;
    EXPECT_EQ(status->modified, modified) << name;
    EXPECT_EQ(status->accessed, sourceStatus->accessed) << name;
  }
  EXPECT_EQ(platform::StatusOf(Path("d002.jpg"))->modified, untouched->modified);
  EXPECT_EQ(job.report.find("Failed to keep date"), std::string::npos) << job.report;
}

TEST_F(ConvertFileTest, SkipsOnlyOutputsThatAreCompleteAndCurrent) {
  std::string one = Path("s.fxd");
  WriteFaxFile(one, {"text-fine-g3"});
  job.options.skipExisting = 1;
  std::string skippedLine = one + " --> " + Path("s.jpg") + " : Skipped : " + Path("s.jpg") + " already exist!\r\n";

  // An empty output is converted over.
  test::WriteFileText(Path("s.jpg"), "");
  Age(one, 100);
  EXPECT_EQ(job.ConvertFile(one, Path("s.jpg")), kConverted);
  EXPECT_TRUE(test::IsWholeJpeg(Path("s.jpg")));

  // A non-empty current output is skipped.
  job.report.clear();
  EXPECT_EQ(job.ConvertFile(one, Path("s.jpg")), kSkipped);
  EXPECT_EQ(job.report, skippedLine);

  // So is one exactly as old as its source: keeping the date gives that.
  ASSERT_EQ(job.CopyFileTimes(one, Path("s.jpg")), 0);
  job.report.clear();
  EXPECT_EQ(job.ConvertFile(one, Path("s.jpg")), kSkipped);
  EXPECT_EQ(job.report, skippedLine);

  // An output older than the source is converted again.
  Age(Path("s.jpg"), 1000);
  EXPECT_EQ(job.ConvertFile(one, Path("s.jpg")), kConverted);
  EXPECT_EQ(job.failures, 0);
}

TEST_F(ConvertFileTest, SkipsMultiPageFileOnlyWhenEveryPageFileIsThere) {
  std::string source = Path("m.fxd");
  WriteFaxFile(source, {"text-fine-g3", "text-fine-g4", "text-standard-g3"});
  Age(source, 100);
  job.options.skipExisting = 1;

  EXPECT_EQ(job.ConvertFile(source, Path("m.jpg")), kConverted);
  job.report.clear();
  EXPECT_EQ(job.ConvertFile(source, Path("m.jpg")), kSkipped);
  EXPECT_EQ(job.report, source + " --> " + Path("m.jpg") + " : Skipped : " + Path("m.jpg") + " already exist!\r\n");

  // One page file gone: converted again, every page rewritten.
  ASSERT_EQ(unlink(Path("m002.jpg").c_str()), 0);
  job.report.clear();
  EXPECT_EQ(job.ConvertFile(source, Path("m.jpg")), kConverted);
  EXPECT_TRUE(test::IsWholeJpeg(Path("m002.jpg")));
  EXPECT_FALSE(test::FileExists(Path("m.jpg")));
}

}  // namespace
}  // namespace tamarind
