// A folder run killed at random moments, again and again, with one worker
// and with four (the signals the program handles at one of them): whatever is in the destination is a whole JPEG of the
// set, nothing else appears anywhere, and a run to the end completes the set as if nothing had happened.
#include <random>
#include <set>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "child_process.h"
#include "hostile_corpus.h"
#include "jpeg_check.h"
#include "platform/atomic_file.h"
#include "platform/files.h"
#include "platform/interrupt.h"
#include "support/fax_files.h"
#include "support/real_pages.h"
#include "support/test_files.h"
#include "tools/winfax_writer.h"

namespace tamarind {
namespace {

using ::testing::HasSubstr;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;

tools::WinFaxPageLayout Page(std::string_view name) { return test::WinFaxPageOf(test::RealPageNamed(name)); }

struct Interruption {
  int signal;
  int workers;
};

void PrintTo(const Interruption& i, std::ostream* out) { *out << sigabbrev_np(i.signal) << " /j=" << i.workers; }

class InterruptedRun : public ::testing::TestWithParam<Interruption> {
 protected:
  void SetUp() override {
    for (const char* folder : {"in", "tmp"}) ASSERT_TRUE(platform::MakeFolders(dir.File(folder)));
    const std::vector<std::vector<std::string_view>> files = {
        {"text-standard-g3"}, {"text-fine-g4", "halftone-g4", "wide-g3"},
        {"halftone-g3"},      {"text-fine-g3-align8", "text-standard-g4"},
        {"wide-g4"},          {"text-fine-g3"}};
    const size_t count = test::UnderSanitizer() ? 3 : files.size();
    for (size_t i = 0; i < count; ++i) {
      std::vector<tools::WinFaxPageLayout> pages;
      for (std::string_view name : files[i]) pages.push_back(Page(name));
      test::WriteFileBytes(dir.File("in/fax" + std::to_string(i) + ".fxd"), tools::BuildWinFaxFile(pages));
    }
  }

  test::ChildResult Run(const std::string& destination, std::chrono::milliseconds limit, bool kill) {
    test::ChildOptions options;
    options.arguments = {"/q", "/j=" + std::to_string(GetParam().workers), "/d=" + dir.File("in"),
                         "/sd=" + dir.File(destination), "/log=" + dir.File("run.log")};
    options.environment = {"TMPDIR=" + dir.File("tmp")};
    options.limit = limit;
    options.killAtLimit = kill;
    options.killSignal = GetParam().signal;
    return test::RunTamarind(options);
  }

  // What a kill may leave: whole outputs of the set, and nothing else but,
  // for an output being replaced at that very instant, a whole copy under
  // the name it takes just before the rename (which the next run removes).
  // A new output never has such a name. Returns the number of those copies.
  int ExpectOnlyWholeOutputs(const std::set<std::string>& outputs, const std::set<std::string>& before, int kill) {
    std::set<std::string> allowed = outputs;
    for (const std::string& name : before) allowed.insert(platform::AtomicOutputFile::ReplacementNameFor(name));
    int copies = 0;
    for (const std::string& name : test::FolderNames(dir.File("out"))) {
      EXPECT_TRUE(allowed.contains(name)) << "kill " << kill << " left " << name;
      if (!allowed.contains(name)) continue;
      copies += !outputs.contains(name);
      test::JpegCheck check = test::CheckJpegFile(dir.File("out/" + name));
      EXPECT_TRUE(check.complete) << "kill " << kill << ": " << name << ": " << check.problem;
    }
    EXPECT_TRUE(test::FolderNames(dir.File("tmp")).empty());
    std::set<std::string> top = test::FolderNames(dir.Path());
    top.erase("run.log");
    top.erase("out");  // a kill may come before the run made it
    EXPECT_EQ(top, (std::set<std::string>{"in", "reference", "tmp"}));
    return copies;
  }

  test::ScopedTempDir dir;
};

TEST_P(InterruptedRun, LeavesOnlyWholeJpegsAndARerunCompletesTheSet) {
  // The fastest of three whole runs sets the span the kills fall in, so that
  // a slow first run (cold caches, a busy machine) does not let most of the
  // killed runs finish first.
  auto full = std::chrono::milliseconds::max();
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    test::ChildResult reference = Run("reference", std::chrono::minutes(5), false);
    full = std::min(full, std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - start));
    ASSERT_TRUE(reference.exited && reference.exitCode == 0) << reference.signal;
  }
  const std::set<std::string> outputs = test::FolderNames(dir.File("reference"));
  ASSERT_EQ(outputs.size(), test::UnderSanitizer() ? 5u : 9u);

  // Kills spread over the whole run, from start-up to the last rename.
  std::mt19937 random(7 + GetParam().workers);
  const int kills = test::UnderSanitizer() ? 10 : 20;
  int interrupted = 0, copies = 0;
  for (int kill = 0; kill < kills; ++kill) {
    const auto delay = std::chrono::milliseconds(1 + random() % static_cast<uint32_t>(full.count() + 1));
    const std::set<std::string> before = test::FolderNames(dir.File("out"));
    test::ChildResult run = Run("out", delay, true);
    ASSERT_FALSE(run.timedOut) << "the run did not end on signal " << GetParam().signal;
    if (!run.exited) {
      ++interrupted;
      EXPECT_EQ(run.signal, GetParam().signal);
    }
    copies += ExpectOnlyWholeOutputs(outputs, before, kill);
  }
  EXPECT_GT(interrupted, kills / 2);

  test::ChildResult last = Run("out", std::chrono::minutes(5), false);
  ASSERT_TRUE(last.exited && last.exitCode == 0);
  EXPECT_EQ(test::FolderNames(dir.File("out")), outputs);
  for (const std::string& name : outputs)
    EXPECT_EQ(test::ReadFileBytes(dir.File("out/" + name)), test::ReadFileBytes(dir.File("reference/" + name))) << name;
  std::printf("signal %d, %d workers: %d of %d runs interrupted, %d whole copies seen after them, full run %lld ms\n",
              GetParam().signal, GetParam().workers, interrupted, kills, copies, static_cast<long long>(full.count()));
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptedRun,
                         // SIGINT, SIGTERM and SIGHUP share one handler: each
                         // is sent once, at one worker count or the other.
                         ::testing::Values(Interruption{SIGKILL, 1}, Interruption{SIGKILL, 4}, Interruption{SIGINT, 4},
                                           Interruption{SIGTERM, 1}, Interruption{SIGHUP, 4}),
                         [](const auto& info) {
                           return std::string(sigabbrev_np(info.param.signal)) + "_j" +
                                  std::to_string(info.param.workers);
                         });

// Converting one long fax, Ctrl-C lets the page in progress finish and
// ends the run by the signal, leaving the finished pages and no temporary
// name. (A second Ctrl-C ends the process at once: the interrupt handler's
// own test.)
TEST(InterruptedFile, EndsAfterThePageInProgress) {
  test::ScopedTempDir dir;
  ASSERT_TRUE(platform::MakeFolders(dir.File("out")));
  // Far longer than the test waits (about 15 ms a page).
  const std::vector<tools::WinFaxPageLayout> pages(test::UnderSanitizer() ? 300 : 2000, Page("text-fine-g4"));
  test::WriteFileBytes(dir.File("long.fxd"), tools::BuildWinFaxFile(pages));
  test::ChildOptions options;
  options.arguments = {"/f=" + dir.File("long.fxd"), "/sf=" + dir.File("out/long.jpg"), "/log=/dev/null"};
  options.environment = {"TMPDIR=" + dir.Path()};
  options.limit = std::chrono::milliseconds(1000);
  options.killAtLimit = true;
  options.killSignal = SIGINT;
  const test::ChildResult run = test::RunTamarind(options);
  ASSERT_FALSE(run.timedOut) << "Ctrl-C did not end the run";
  EXPECT_FALSE(run.exited);
  EXPECT_EQ(run.signal, SIGINT);
  EXPECT_LT(run.endedAfterSignal.count(), 2000);
  std::set<std::string> names = test::FolderNames(dir.File("out"));
  EXPECT_LT(names.size(), pages.size()) << "the run was not stopped";
  for (const std::string& name : names) EXPECT_TRUE(name.starts_with("long") && name.ends_with(".jpg")) << name;
  EXPECT_EQ(test::FolderNames(dir.Path()), (std::set<std::string>{"long.fxd", "out"}));
}

// A signal the program handles, sent while every worker is inside a long
// fax: each gives up its fax between pages or inside a page's recognition,
// rather than once the file is done, and no further file is handed out,
// though the files behind the long faxes are no faxes and would each be
// done (failed) in an instant. The program ends by the signal, its report
// counts no file done, and the faxes given up leave nothing: no output, no
// temporary file. With more workers than files, the spare ones recognise
// pages of the fax beside its own worker, and stop as well.
struct LongFaxStop {
  const char* name;
  int signal;
  int workers;    // /j=
  int longFaxes;  // one to each worker, the rest spare
  int laterFiles;
  std::vector<std::string> switches;
  int pages;  // of each long fax
  std::chrono::milliseconds signalAfter;
};

void PrintTo(const LongFaxStop& stop, std::ostream* out) { *out << stop.name; }

class StopInsideLongFaxes : public ::testing::TestWithParam<LongFaxStop> {};

TEST_P(StopInsideLongFaxes, EndTheRunAndNoLaterFileIsStarted) {
  const LongFaxStop& stop = GetParam();
  test::ScopedTempDir dir;
  for (const char* folder : {"in", "out", "tmp"}) ASSERT_TRUE(platform::MakeFolders(dir.File(folder)));
  const std::vector<tools::WinFaxPageLayout> pages(static_cast<size_t>(stop.pages), Page("text-fine-g4"));
  const std::vector<uint8_t> longFax = tools::BuildWinFaxFile(pages);
  // Handed out in name order: the long faxes first.
  for (int i = 0; i < stop.longFaxes; ++i)
    test::WriteFileBytes(dir.File("in/long" + std::to_string(i) + ".fxd"), longFax);
  for (int i = 0; i < stop.laterFiles; ++i)
    test::WriteFileText(dir.File("in/nofax" + std::to_string(i) + ".fxd"), "no fax");
  test::ChildOptions options;
  options.arguments = {"/q", "/j=" + std::to_string(stop.workers), "/d=" + dir.File("in"), "/sd=" + dir.File("out"),
                       "/log=" + dir.File("run.log")};
  options.arguments.insert(options.arguments.end(), stop.switches.begin(), stop.switches.end());
  options.environment = {"TMPDIR=" + dir.File("tmp")};
  options.limit = stop.signalAfter;
  options.killAtLimit = true;
  options.killSignal = stop.signal;
  const test::ChildResult run = test::RunTamarind(options);
  ASSERT_FALSE(run.timedOut) << "the run did not end on the signal";
  EXPECT_FALSE(run.exited) << run.errors;
  EXPECT_EQ(run.signal, stop.signal);
  const std::string log = test::ReadFileText(dir.File("run.log"));
  EXPECT_THAT(log, HasSubstr("\r\nInterrupted by " + platform::SignalName(stop.signal) + ": 0 of " +
                             std::to_string(stop.longFaxes + stop.laterFiles) + " files done\r\n"));
  EXPECT_EQ(test::FolderNames(dir.File("out")), std::set<std::string>{});
  EXPECT_EQ(test::FolderNames(dir.File("tmp")), std::set<std::string>{});
  std::printf("%s: ended %lld ms after the signal\n", stop.name, static_cast<long long>(run.endedAfterSignal.count()));
}

// A JPEG page takes a few milliseconds, 800 of them seconds; recognition
// takes seconds a page: the long faxes last well beyond the signal, on a
// busy machine too.
INSTANTIATE_TEST_SUITE_P(
    Formats, StopInsideLongFaxes,
    ::testing::Values(LongFaxStop{"jpeg_sigint", SIGINT, 1, 1, 20, {}, 800, 1000ms},
                      LongFaxStop{"jpeg_sighup_3_workers", SIGHUP, 3, 3, 20, {}, 800, 1000ms},
                      LongFaxStop{"pdf_ocr_sigterm", SIGTERM, 2, 2, 20, {"/fmt=pdf", "/ocr"}, 8, 1500ms},
                      LongFaxStop{"pdf_ocr_spare_worker_sigterm", SIGTERM, 2, 1, 0, {"/fmt=pdf", "/ocr"}, 8, 1500ms}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace tamarind
