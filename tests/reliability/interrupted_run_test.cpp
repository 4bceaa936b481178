// A folder run killed at random moments, again and again: whatever JPEG is
// there is whole, nothing but outputs and our own temporary names appears,
// and a run to the end completes the set as if nothing had happened.
#include <random>
#include <set>

#include <gtest/gtest.h>

#include "child_process.h"
#include "hostile_corpus.h"
#include "jpeg_check.h"
#include "platform/files.h"
#include "support/real_pages.h"
#include "support/test_files.h"
#include "support/winfax_pages.h"
#include "tools/winfax_writer.h"

namespace tamarind {
namespace {

using Clock = std::chrono::steady_clock;

std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  if (auto entries = platform::ListFolder(folder))
    for (const auto& entry : *entries) names.insert(entry.name);
  return names;
}

tools::WinFaxPageSpec Page(std::string_view name) { return test::WinFaxPageOf(test::RealPageNamed(name)); }

class InterruptedRun : public ::testing::Test {
 protected:
  void SetUp() override {
    for (const char* folder : {"in", "tmp"}) ASSERT_TRUE(platform::MakeFolders(dir.File(folder)));
    const std::vector<std::vector<std::string_view>> files = {
        {"text-standard-g3"}, {"text-fine-g4", "halftone-g4", "wide-g3"}, {"halftone-g3"},
        {"text-fine-g3-align8", "text-standard-g4"}, {"wide-g4"}, {"text-fine-g3"}};
    const size_t count = test::UnderSanitizer() ? 3 : files.size();
    for (size_t i = 0; i < count; ++i) {
      std::vector<tools::WinFaxPageSpec> pages;
      for (std::string_view name : files[i]) pages.push_back(Page(name));
      test::WriteFileBytes(dir.File("in/fax" + std::to_string(i) + ".fxd"), tools::BuildWinFaxFile(pages));
    }
  }

  test::ChildResult Run(const std::string& destination, std::chrono::milliseconds limit, bool kill) {
    test::ChildOptions options;
    options.arguments = {"/q", "/d=" + dir.File("in"), "/sd=" + dir.File(destination), "/log=" + dir.File("run.log")};
    options.environment = {"TMPDIR=" + dir.File("tmp"), "XDG_CONFIG_HOME=" + dir.File("xdg"),
                           "XDG_STATE_HOME=" + dir.File("xdg")};
    options.limit = limit;
    options.killAtLimit = kill;
    return test::RunTamarind(options);
  }

  // What a kill may leave: whole outputs, and temporary files of ours.
  void ExpectOnlyWholeOutputsAndOwnTemporaries(const std::set<std::string>& outputs, int kill) {
    for (const std::string& name : Names(dir.File("out"))) {
      if (name.ends_with(".tmp")) {
        // "<output>.XXXXXX.tmp", the atomic write's name.
        EXPECT_TRUE(name.size() > 11 && outputs.contains(name.substr(0, name.size() - 11))) << name;
        continue;
      }
      EXPECT_TRUE(outputs.contains(name)) << "kill " << kill << " left " << name;
      test::JpegCheck check = test::CheckJpegFile(dir.File("out/" + name));
      EXPECT_TRUE(check.complete) << "kill " << kill << ": " << name << ": " << check.problem;
    }
    for (const std::string& name : Names(dir.File("tmp"))) EXPECT_TRUE(name.starts_with("tmpbmp-")) << name;
    std::set<std::string> top = Names(dir.Path());
    top.erase("xdg");
    top.erase("run.log");
    top.erase("out");  // a kill may come before the run made it
    EXPECT_EQ(top, (std::set<std::string>{"in", "reference", "tmp"}));
  }

  test::ScopedTempDir dir;
};

TEST_F(InterruptedRun, KillsLeaveWholeJpegsAndOwnNamesOnlyAndARerunCompletesTheSet) {
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
  const std::set<std::string> outputs = Names(dir.File("reference"));
  ASSERT_EQ(outputs.size(), test::UnderSanitizer() ? 5u : 9u);

  // Kills spread over the whole run, from start-up to the last rename.
  std::mt19937 random(7);
  const int kills = test::UnderSanitizer() ? 12 : 25;
  int interrupted = 0;
  for (int kill = 0; kill < kills; ++kill) {
    const auto delay = std::chrono::milliseconds(1 + random() % static_cast<uint32_t>(full.count() + 1));
    test::ChildResult run = Run("out", delay, true);
    if (!run.exited) ++interrupted;
    ExpectOnlyWholeOutputsAndOwnTemporaries(outputs, kill);
  }
  EXPECT_GT(interrupted, kills / 2);

  test::ChildResult last = Run("out", std::chrono::minutes(5), false);
  ASSERT_TRUE(last.exited && last.exitCode == 0);
  for (const std::string& name : outputs)
    EXPECT_EQ(test::ReadFileBytes(dir.File("out/" + name)), test::ReadFileBytes(dir.File("reference/" + name)))
        << name;
  size_t leftovers = Names(dir.File("tmp")).size();
  for (const std::string& name : Names(dir.File("out"))) leftovers += name.ends_with(".tmp");
  std::printf("interrupted runs: %d of %d killed, %zu temporary files left over in all, full run %lld ms\n",
              interrupted, kills, leftovers, static_cast<long long>(full.count()));
}

}  // namespace
}  // namespace tamarind
