// A folder run over hundreds of damaged and hostile files: it ends, every
// listed file gets its report line, every page reported written is a whole
// JPEG, and nothing else is left anywhere.
#include <unistd.h>

#include <map>
#include <set>

#include <gtest/gtest.h>

#include "child_process.h"
#include "hostile_corpus.h"
#include "jpeg_check.h"
#include "platform/files.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

constexpr uint32_t kSeed = 20261207;

// Names in |folder|, each with a trailing "/" for a folder.
std::set<std::string> Entries(const std::string& folder) {
  std::set<std::string> names;
  auto entries = platform::ListFolder(folder);
  if (!entries) return names;
  for (const auto& entry : *entries)
    names.insert(entry.name + (entry.kind == platform::FolderEntry::Kind::Folder ? "/" : ""));
  return names;
}

struct FileOutcome {
  std::string result;              // the text after the prefix of its line
  std::vector<std::string> pages;  // page files reported written
};

bool KnownResult(const std::string& result) {
  for (const char* start : {"Success !", "Multiple pages as following :", "Failed : "})
    if (result.starts_with(start)) return true;
  return false;
}

class HostileFiles : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"in", "out", "tmp"}) ASSERT_TRUE(platform::MakeFolders(dir.File(folder)));
    corpus = test::HostileCorpus(kSeed);
    test::WriteHostileFolder(dir.File("in"), corpus);
    // For measuring by hand: /usr/bin/time -v tamarind /d=<folder> /sd=...
    if (const char* keep = getenv("TAMARIND_KEEP_HOSTILE_FILES"); keep && *keep) {
      ASSERT_TRUE(platform::MakeFolders(keep));
      test::WriteHostileFolder(keep, corpus);
    }
  }

  // Runs the program over the folder; a hang is killed at the limit and
  // fails the test.
  void Convert() {
    test::ChildOptions options;
    // One worker: the memory bound below is the bound of one worker.
    options.arguments = {"/q", "/j=1", "/d=" + dir.File("in"), "/sd=" + dir.File("out"), "/log=" + dir.File("run.log")};
    options.environment = {"TMPDIR=" + dir.File("tmp")};
    options.limit = std::chrono::minutes(test::UnderSanitizer() ? 10 : 3);
    options.measureMemory = true;
    run = test::RunTamarind(options);
    const std::string log = test::ReadFileText(dir.File("run.log"));
    // The log holds a time line, the report, and a line of dashes.
    const size_t from = log.find('\n') + 1;
    report = log.substr(from, log.rfind(std::string(50, '-')) - from);
  }

  // Each listed file's outcome, from the report; a file with no line or
  // with several fails the test.
  std::map<std::string, FileOutcome> Outcomes() {
    std::map<std::string, FileOutcome> outcomes;
    std::vector<std::string>* pages = nullptr;
    size_t start = 0;
    while (start < report.size()) {
      size_t end = report.find("\r\n", start);
      if (end == std::string::npos) end = report.size();
      const std::string line = report.substr(start, end - start);
      start = end + 2;
      const std::string pagePrefix = "        page ";
      if (line.starts_with(dir.File("in") + "/")) {
        const size_t arrow = line.find(" --> ");
        const size_t colon = line.find(" : ", arrow);
        if (colon == std::string::npos) {
          ADD_FAILURE() << "no result: " << line;
          continue;
        }
        const std::string name = line.substr(dir.File("in").size() + 1, arrow - dir.File("in").size() - 1);
        EXPECT_FALSE(outcomes.contains(name)) << "second line for " << name;
        FileOutcome& outcome = outcomes[name];
        outcome.result = line.substr(colon + 3);
        EXPECT_TRUE(KnownResult(outcome.result)) << line;
        EXPECT_EQ(outcome.result.find(" --> "), std::string::npos) << "two files on one line: " << line;
        if (outcome.result == "Success !") outcome.pages.push_back(line.substr(arrow + 5, colon - arrow - 5));
        pages = &outcome.pages;
      } else if (line.starts_with(pagePrefix) && pages) {
        const size_t arrow = line.find(" --> ");
        const size_t colon = line.rfind(" : Success !");
        if (arrow == std::string::npos || colon == std::string::npos) {
          ADD_FAILURE() << "page line without a file: " << line;
          continue;
        }
        pages->push_back(line.substr(arrow + 5, colon - arrow - 5));
      }
    }
    return outcomes;
  }

  test::ScopedTempDir dir;
  std::vector<test::HostileFile> corpus;
  test::ChildResult run;
  std::string report;
};

TEST_F(HostileFiles, FolderRunReportsEveryFileAndLeavesOnlyWholeJpegs) {
  Convert();
  ASSERT_FALSE(run.timedOut) << "the run hung";
  ASSERT_TRUE(run.exited) << "the run ended with signal " << run.signal;
  EXPECT_EQ(run.exitCode, 2);  // some files failed

  // Every regular file has its line; the pipe and the device link have
  // none.
  std::map<std::string, FileOutcome> outcomes = Outcomes();
  EXPECT_EQ(outcomes.size(), corpus.size());
  size_t notFax = 0, written = 0, failedPages = 0;
  std::set<std::string> reported;
  for (const test::HostileFile& file : corpus) {
    const std::string& name = file.name;
    auto it = outcomes.find(name);
    if (it == outcomes.end()) {
      ADD_FAILURE() << name << " has no report line";
      continue;
    }
    if (it->second.result.ends_with("- Not Fax")) ++notFax;
    for (const std::string& page : it->second.pages) {
      EXPECT_TRUE(page.starts_with(dir.File("out") + "/")) << page;
      reported.insert(page.substr(dir.File("out").size() + 1));
    }
    written += it->second.pages.size();
  }
  for (size_t at = report.find("Error in converting"); at != std::string::npos;
       at = report.find("Error in converting", at + 1))
    ++failedPages;

  // The intact files are the control: the pipeline itself works.
  for (const auto& [name, outcome] : outcomes) {
    if (name.find("-intact-") != std::string::npos) {
      EXPECT_FALSE(outcome.pages.empty()) << name;
    }
  }

  // Exactly the reported pages exist, each a whole JPEG; no temporary file
  // is left behind.
  std::set<std::string> present = Entries(dir.File("out"));
  EXPECT_EQ(present, reported);
  size_t incomplete = 0;
  int64_t largestPage = 0;
  for (const std::string& name : present) {
    test::JpegCheck check = test::CheckJpegFile(dir.File("out/" + name));
    largestPage = std::max(largestPage, int64_t{check.width} * check.height);
    if (!check.complete) {
      ++incomplete;
      ADD_FAILURE() << name << ": " << check.problem;
    }
  }
  EXPECT_EQ(incomplete, 0u);
  EXPECT_TRUE(Entries(dir.File("tmp")).empty());
  std::set<std::string> others = Entries(dir.Path());
  EXPECT_EQ(others, (std::set<std::string>{"in/", "out/", "tmp/", "run.log"}));
  // The sources are only read.
  for (const test::HostileFile& file : corpus)
    EXPECT_EQ(test::ReadFileBytes(dir.File("in/" + file.name)), file.bytes) << file.name;

  // At most 4 bytes per pixel of the largest page written plus the 48 MB a
  // worker takes besides, or twice that allowance for a page past the size
  // limit (wide-long-*), as MemoryBound has them; sanitizers keep memory of
  // their own.
  const long boundKb = std::max(static_cast<long>(4 * largestPage / 1024) + 48 * 1024, 2 * 48 * 1024L);
  if (!test::UnderSanitizer()) {
    EXPECT_LE(run.peakRssKb, boundKb);
  }

  std::printf("hostile files: %zu variants, %zu not faxes, %zu pages written, %zu pages failed, %zu incomplete, "
              "peak RSS %ld kB (bound %ld kB)\n",
              corpus.size(), notFax, written, failedPages, incomplete, run.peakRssKb, boundKb);
}

}  // namespace
}  // namespace tamarind
