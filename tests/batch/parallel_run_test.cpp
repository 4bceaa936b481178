// Folder runs with several workers: the same report, log, files and exit
// status as with one, colliding outputs in list order, and stopping.
#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <numeric>
#include <stdexcept>
#include <thread>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "batch/parallel_run.h"
#include "convert/process.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "support/fax_files.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

using ::testing::ElementsAre;

std::vector<FileTask> TasksFor(std::initializer_list<const char*> outputs) {
  std::vector<FileTask> tasks;
  for (const char* output : outputs) tasks.push_back({std::string("in/") + output, output});
  return tasks;
}

constexpr size_t kNone = kNoPredecessor;

TEST(CollisionPredecessorsTest, OnlyFilesThatCanWriteTheSameNameWaitForEachOther) {
  // Numbered archives stay independent: a page name of fax0001 is
  // fax0001001.jpg, never another file's name.
  EXPECT_THAT(CollisionPredecessors(TasksFor({"o/fax0001.jpg", "o/fax0002.jpg", "o/fax0003.jpg"})),
              ElementsAre(kNone, kNone, kNone));
  // The same output from two sources; a.fxd's page 1 is a001.jpg and its
  // page 1000 is a1000.jpg.
  EXPECT_THAT(CollisionPredecessors(TasksFor({"o/a.jpg", "o/b.jpg", "o/a.jpg", "o/a001.jpg", "o/a1000.jpg"})),
              ElementsAre(kNone, kNone, 0, 2, 3));
  // Page 1001 of "a" and page 1 of "a1" are both a1001.jpg; "b1025" is no
  // page of "b" (1024 pages at most), nor "a000" one of "a".
  EXPECT_THAT(CollisionPredecessors(TasksFor({"o/a1.jpg", "o/a.jpg", "o/b.jpg", "o/b1025.jpg", "o/a000.jpg"})),
              ElementsAre(kNone, 0, kNone, kNone, kNone));
  // Only names in the same folder meet; case is ignored, since the
  // destination may not tell "A.jpg" from "a.jpg".
  EXPECT_THAT(CollisionPredecessors(TasksFor({"o/x/a.jpg", "o/y/a001.jpg", "o/X/A002.JPG"})),
              ElementsAre(kNone, kNone, 0));
  // A group is ordered as a whole: the second a.jpg waits for a002.jpg,
  // which waited for the first.
  EXPECT_THAT(CollisionPredecessors(TasksFor({"o/a.jpg", "o/q.jpg", "o/a002.jpg", "o/a.jpg"})),
              ElementsAre(kNone, kNone, 0, 2));
}

// Counts and times the calls, with the worker's share of the report.
struct RecordingConverter {
  std::atomic<int> running{0};
  std::atomic<int> mostAtOnce{0};
  std::mutex mutex;
  std::vector<std::string> order;  // sources in the order they started

  FileOutcome operator()(ConversionJob& worker, const std::string& source, std::chrono::milliseconds pause) {
    {
      std::lock_guard lock(mutex);
      order.push_back(source);
    }
    int now = ++running;
    for (int most = mostAtOnce; now > most && !mostAtOnce.compare_exchange_weak(most, now);) {
    }
    std::this_thread::sleep_for(pause);
    worker.report += source + "\r\n";
    --running;
    return FileOutcome::Of(source.ends_with("bad") ? kNotFax : kConverted);
  }
};

TEST(ConvertInParallelTest, ReportsEventsAndResultsComeInListOrder) {
  std::vector<FileTask> tasks;
  for (int i = 0; i < 12; ++i)
    tasks.push_back({"f" + std::to_string(i) + (i == 4 ? "bad" : ""), "o" + std::to_string(i) + ".jpg"});
  ConversionJob job;
  job.Reset();
  job.options.quality = 77;
  job.report = "header\r\n";
  RecordingConverter recorder;
  // Told on this thread: each sequence in list order, every start before
  // its end.
  std::vector<size_t> starts, ends;
  ListedFileEvents tell;
  tell.started = [&](size_t i) { starts.push_back(i); };
  tell.finished = [&](size_t i, const FileOutcome&) {
    EXPECT_LT(i, starts.size()) << "ended before it started";
    ends.push_back(i);
  };
  std::vector<FileOutcome> outcomes = ConvertInParallel(
      job, tasks, 3,
      [&](ConversionJob& worker, const std::string& source, const std::string&) {
        if (worker.options.quality != 77 || !worker.report.empty()) throw std::logic_error("worker not set up");
        // Early files take longest, so later ones finish first.
        return recorder(worker, source, std::chrono::milliseconds(12 - std::stoi(source.substr(1))));
      },
      tell);

  std::vector<int> results;
  for (const FileOutcome& outcome : outcomes) results.push_back(outcome.result);
  EXPECT_THAT(results, ElementsAre(0, 0, 0, 0, kNotFax, 0, 0, 0, 0, 0, 0, 0));
  std::string expected = "header\r\n";
  for (const FileTask& task : tasks) expected += task.source + "\r\n";
  EXPECT_EQ(job.report, expected);
  EXPECT_EQ(job.failures, 1);
  EXPECT_GT(recorder.mostAtOnce, 1);
  EXPECT_LE(recorder.mostAtOnce, 3);
  std::vector<size_t> indices(tasks.size());
  std::iota(indices.begin(), indices.end(), 0);
  EXPECT_EQ(starts, indices);
  EXPECT_EQ(ends, indices);
}

// Each worker may hold a page of the largest size, recognised too with
// /ocr: the default count must fit the memory there is, while a count the
// user gives is obeyed.
TEST(WorkerCountTest, DefaultFollowsThreadsAndMemoryAndAGivenCountIsObeyed) {
  constexpr int64_t kGiB = int64_t{1} << 30;
  const int64_t bound = WorkerMemoryBound(OutputFormat::Pdf, true);
  EXPECT_EQ(WorkerCount(0, 8, 64 * kGiB, bound), 8u);
  EXPECT_EQ(WorkerCount(0, 8, 2 * bound + 1, bound), 2u);
  EXPECT_EQ(WorkerCount(0, 8, bound / 2, bound), 1u);
  EXPECT_EQ(WorkerCount(0, 0, std::nullopt, bound), 1u);
  EXPECT_EQ(WorkerCount(0, 6, std::nullopt, bound), 6u);
  EXPECT_EQ(WorkerCount(5, 1, bound, bound), 5u);
}

TEST(ConvertInParallelTest, CollidingFilesRunOneAfterTheOther) {
  // b001 is page 1 of b: whoever runs second must start after the first
  // ended, although it comes first into a free worker.
  std::vector<FileTask> tasks = {{"a", "o/b.jpg"}, {"x", "o/x.jpg"}, {"c", "o/b001.jpg"}, {"y", "o/y.jpg"}};
  ConversionJob job;
  std::mutex mutex;
  std::vector<std::string> log;
  auto at = [&](const std::string& e) {
    std::lock_guard lock(mutex);
    return std::find(log.begin(), log.end(), e) - log.begin();
  };
  ConvertInParallel(job, tasks, 4, [&](ConversionJob&, const std::string& source, const std::string&) {
    {
      std::lock_guard lock(mutex);
      log.push_back("+" + source);
    }
    // a ends only once x has started, so x cannot have waited for it.
    for (int wait = 0; source == "a" && wait < 2000 && at("+x") == at("no such event"); ++wait)
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    std::lock_guard lock(mutex);
    log.push_back("-" + source);
    return FileOutcome{};
  });
  EXPECT_LT(at("-a"), at("+c"));
  EXPECT_LT(at("+x"), at("-a"));  // the others did not wait
}

TEST(ConvertInParallelTest, StopEndsTheFilesInProgressAndStartsNoMore) {
  std::vector<FileTask> tasks;
  for (int i = 0; i < 40; ++i) tasks.push_back({std::to_string(i), std::to_string(i) + ".jpg"});
  ConversionJob job;
  std::atomic<bool> stop{false};
  std::atomic<int> calls{0};
  std::vector<size_t> finished;
  ListedFileEvents tell;
  tell.finished = [&](size_t i, const FileOutcome&) { finished.push_back(i); };
  std::vector<FileOutcome> results = ConvertInParallel(
      job, tasks, 2,
      [&](ConversionJob& worker, const std::string& source, const std::string&) {
        ++calls;
        if (source == "5") stop = true;
        // Later files wait for the stop, so no worker can race past it.
        for (int wait = 0; std::stoi(source) > 5 && !stop && wait < 2000; ++wait)
          std::this_thread::sleep_for(std::chrono::milliseconds(1));
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        worker.report += source + " ";
        return FileOutcome{};
      },
      tell, &stop);
  // File 5 and at most the one a worker had already taken, then nothing:
  // the files done are the start of the list, each told once.
  ASSERT_GE(results.size(), 6u);
  EXPECT_LE(results.size(), 7u);
  EXPECT_EQ(calls, static_cast<int>(results.size()));
  std::string expected;
  for (size_t i = 0; i < results.size(); ++i) {
    expected += std::to_string(i) + " ";
    EXPECT_EQ(finished[i], i);
  }
  EXPECT_EQ(job.report, expected);
}

TEST(ConvertInParallelTest, AConverterThatThrowsEndsTheRunWithItsException) {
  std::vector<FileTask> tasks;
  for (int i = 0; i < 20; ++i) tasks.push_back({std::to_string(i), std::to_string(i) + ".jpg"});
  ConversionJob job;
  std::atomic<int> calls{0};
  EXPECT_THROW(ConvertInParallel(job, tasks, 3,
                                 [&](ConversionJob&, const std::string& source, const std::string&) {
                                   ++calls;
                                   if (source == "2") throw std::runtime_error("boom");
                                   std::this_thread::sleep_for(std::chrono::milliseconds(2));
                                   return FileOutcome{};
                                 }),
               std::runtime_error);
  EXPECT_LT(calls, 20);
}

// ---- The real program: one worker against several -------------------------

class ParallelFolderRun : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(platform::MakeFolders(dir.File("in/sub")));
    // a.fxd (three pages) writes a001.jpg, and so does a001.fxd, which comes
    // after it in the list and must win; torn.fxd fails its second page and
    // empty.fxd does not load.
    test::WriteFaxFile(dir.File("in/a.fxd"), {"wide-g3", "text-fine-g4", "halftone-g3"});
    test::WriteFaxFile(dir.File("in/a001.fxd"), {"text-fine-g3"});
    test::WriteFaxFile(dir.File("in/b.fxs"), {"text-fine-g3"});
    test::WriteFaxFile(dir.File("in/empty.fxd"), {test::kEmptyPage});
    test::WriteFaxFile(dir.File("in/torn.fxd"), {"text-standard-g4", test::kEmptyPage, "text-fine-g3-align8"});
    test::WriteFaxFile(dir.File("in/sub/c.fxr"), {"halftone-g4", "wide-g3"});
    test::WriteFaxFile(dir.File("in/sub/d.fxm"), {"text-standard-g4"});
  }

  struct Run {
    test::CommandResult result;
    std::string logEntry;  // without its time line
  };

  Run Tamarind(const std::string& workers, const std::string& out) {
    const std::string log = dir.File(out + ".log");
    test::CommandResult result = test::RunProgram(
        dir.Path(), "/i /d=in /sd=" + out + " " + workers + " /log=" + test::ShellQuote(log) + " 2>/dev/null");
    Run run{result, test::ReadFileText(log)};
    run.logEntry.erase(0, run.logEntry.find('\n') + 1);
    return run;
  }

  // Every file under |folder| with its bytes, by name relative to it.
  std::map<std::string, std::vector<uint8_t>> Outputs(const std::string& folder) {
    std::map<std::string, std::vector<uint8_t>> files;
    auto entries = platform::ListFolder(dir.File(folder));
    if (!entries) return files;
    for (const platform::FolderEntry& entry : *entries)
      files[entry.name] = test::ReadFileBytes(dir.File(folder + "/" + entry.name));
    return files;
  }

  test::ScopedTempDir dir;
};

std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

TEST_F(ParallelFolderRun, SeveralWorkersGiveWhatOneGives) {
  Run one = Tamarind("/j=1", "one");
  Run four = Tamarind("/j=4", "four");

  EXPECT_EQ(one.result.exitCode, 2);
  EXPECT_EQ(four.result.exitCode, one.result.exitCode);
  EXPECT_EQ(Replaced(four.result.output, "four", "one"), one.result.output);
  EXPECT_EQ(Replaced(four.logEntry, "four", "one"), one.logEntry);
  // torn.fxd lost its second page: failed, not counted.
  EXPECT_NE(one.logEntry.find("Total converted FAX files: 5\r\n"), std::string::npos) << one.logEntry;
  EXPECT_NE(one.logEntry.find("Failed : in/empty.fxd - Not Fax\r\n"), std::string::npos);

  const auto files = Outputs("one");
  EXPECT_TRUE(Outputs("four") == files) << "the outputs differ";
  std::vector<std::string> names;
  for (const auto& [name, bytes] : files) names.push_back(name);
  EXPECT_THAT(names, ElementsAre("a001.jpg", "a002.jpg", "a003.jpg", "b.jpg", "c001.jpg", "c002.jpg", "d.jpg",
                                 "torn001.jpg", "torn003.jpg"));
  // The later file won in both runs.
  EXPECT_TRUE(test::JpegShowsPage(dir.File("four/a001.jpg"), test::RealPageNamed("text-fine-g3")));
  EXPECT_TRUE(test::JpegShowsPage(dir.File("four/a002.jpg"), test::RealPageNamed("text-fine-g4")));
  // No worker left its temporary BMP behind.
  auto left = platform::ListFolder(dir.Path());
  ASSERT_TRUE(left);
  for (const auto& entry : *left) EXPECT_FALSE(entry.name.starts_with("tmpbmp")) << entry.name;
}

}  // namespace
}  // namespace tamarind
