// A folder run over hundreds of damaged and hostile files: it ends, every
// listed file gets its report line, every page reported written is a whole
// JPEG, and nothing else is left anywhere.
#include <map>
#include <set>

#include <gtest/gtest.h>

#include "child_process.h"
#include "hostile_corpus.h"
#include "jpeg_check.h"
#include "platform/files.h"
#include "support/fax_files.h"
#include "support/test_files.h"

namespace tamarind {
namespace {

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

// Each file's outcome by its name in |in|, from the report's lines
// "IN/NAME --> OUT : Success !", "IN/NAME --> OUT : Failed : ...", or
// "IN/NAME --> OUT : Multiple pages as following :" with a line
// "        page N --> PAGE : Success !" for each page written. A file with
// several lines, or a line of another shape, fails the test.
std::map<std::string, FileOutcome> Outcomes(const std::string& report, const std::string& in) {
  std::map<std::string, FileOutcome> outcomes;
  FileOutcome* last = nullptr;
  for (const std::string& line : test::ReportLines(report)) {
    const size_t arrow = line.find(" --> ");
    const size_t colon = line.find(" : ", arrow);
    if (arrow == std::string::npos || colon == std::string::npos) continue;  // the header and totals
    const std::string output = line.substr(arrow + 5, colon - arrow - 5);
    const std::string result = line.substr(colon + 3);
    if (line.starts_with("        page ") && last) {
      EXPECT_EQ(result, "Success !") << line;
      last->pages.push_back(output);
      continue;
    }
    if (!line.starts_with(in)) {
      ADD_FAILURE() << "a line of no file: " << line;
      continue;
    }
    const std::string name = line.substr(in.size(), arrow - in.size());
    EXPECT_FALSE(outcomes.contains(name)) << "second line for " << name;
    last = &outcomes[name];
    last->result = result;
    EXPECT_TRUE(result.starts_with("Success !") || result.starts_with("Multiple pages as following :") ||
                result.starts_with("Failed : "))
        << line;
    EXPECT_EQ(result.find(" --> "), std::string::npos) << "two files on one line: " << line;
    if (result == "Success !") last->pages.push_back(output);
  }
  return outcomes;
}

TEST(HostileFiles, FolderRunReportsEveryFileAndLeavesOnlyWholeJpegs) {
  test::ScopedTempDir dir;
  for (const char* folder : {"in", "out", "tmp"}) ASSERT_TRUE(platform::MakeFolders(dir.File(folder)));
  const std::vector<test::HostileFile> corpus = test::HostileCorpus(20261207);
  test::WriteHostileFolder(dir.File("in"), corpus);
  // For measuring by hand: /usr/bin/time -v tamarind /d=<folder> /sd=...
  if (const char* keep = getenv("TAMARIND_KEEP_HOSTILE_FILES"); keep && *keep) {
    ASSERT_TRUE(platform::MakeFolders(keep));
    test::WriteHostileFolder(keep, corpus);
  }
  test::ChildOptions options;
  // One worker: the memory bound below is the bound of one worker.
  options.arguments = {"/q", "/j=1", "/d=" + dir.File("in"), "/sd=" + dir.File("out"), "/log=" + dir.File("run.log")};
  options.environment = {"TMPDIR=" + dir.File("tmp")};
  options.limit = std::chrono::minutes(test::UnderSanitizer() ? 10 : 3);  // a hang fails the test
  options.measureMemory = true;
  const test::ChildResult run = test::RunTamarind(options);
  ASSERT_FALSE(run.timedOut) << "the run hung";
  ASSERT_TRUE(run.exited) << "the run ended with signal " << run.signal;
  EXPECT_EQ(run.exitCode, 2);  // some files failed

  // Every regular file has its line; the pipe and the device link have
  // none. The intact files are the control: the pipeline itself works.
  const std::string report = test::ReadFileText(dir.File("run.log"));
  const std::map<std::string, FileOutcome> outcomes = Outcomes(report, dir.File("in") + "/");
  EXPECT_EQ(outcomes.size(), corpus.size());
  size_t notFax = 0, written = 0;
  std::set<std::string> reported;
  for (const test::HostileFile& file : corpus) {
    auto it = outcomes.find(file.name);
    if (it == outcomes.end()) {
      ADD_FAILURE() << file.name << " has no report line";
      continue;
    }
    notFax += it->second.result.ends_with("- Not Fax");
    EXPECT_TRUE(file.name.find("-intact-") == std::string::npos || !it->second.pages.empty()) << file.name;
    for (const std::string& page : it->second.pages) {
      EXPECT_TRUE(page.starts_with(dir.File("out") + "/")) << page;
      reported.insert(page.substr(dir.File("out").size() + 1));
    }
    written += it->second.pages.size();
    // The sources are only read.
    EXPECT_EQ(test::ReadFileBytes(dir.File("in/" + file.name)), file.bytes) << file.name;
  }

  // Exactly the reported pages exist, each a whole JPEG; no temporary file
  // is left behind.
  EXPECT_EQ(Entries(dir.File("out")), reported);
  size_t incomplete = 0;
  int64_t largestPage = 0;
  for (const std::string& name : Entries(dir.File("out"))) {
    test::JpegCheck check = test::CheckJpegFile(dir.File("out/" + name));
    largestPage = std::max(largestPage, int64_t{check.width} * check.height);
    incomplete += !check.complete;
    EXPECT_TRUE(check.complete) << name << ": " << check.problem;
  }
  EXPECT_TRUE(Entries(dir.File("tmp")).empty());
  EXPECT_EQ(Entries(dir.Path()), (std::set<std::string>{"in/", "out/", "tmp/", "run.log"}));

  // At most 4 bytes per pixel of the largest page written plus the 48 MB a
  // worker takes besides, or twice that allowance for a page past the size
  // limit (wide-long-*), as MemoryBound has them; sanitizers keep memory of
  // their own.
  const long boundKb = std::max(static_cast<long>(4 * largestPage / 1024) + 48 * 1024, 2 * 48 * 1024L);
  if (!test::UnderSanitizer()) {
    EXPECT_LE(run.peakRssKb, boundKb);
  }
  std::printf("hostile files: %zu variants, %zu not faxes, %zu pages written, %zu incomplete, "
              "peak RSS %ld kB (bound %ld kB)\n",
              corpus.size(), notFax, written, incomplete, run.peakRssKb, boundKb);
}

}  // namespace
}  // namespace tamarind
