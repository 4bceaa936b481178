// Whole-entry appends against concurrent writers and a full disk.
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "platform/files.h"
#include "support/test_files.h"

namespace tamarind::platform {
namespace {

TEST(AppendWhole, ConcurrentWritersNeverInterleave) {
  test::ScopedTempDir dir;
  std::string path = dir.File("log.txt");
  const std::string entryA(100000, 'a'), entryB(100000, 'b');
  constexpr int kRounds = 20;
  pid_t child = fork();
  ASSERT_GE(child, 0);
  for (int i = 0; i < kRounds; ++i) (void)AppendWhole(path, child == 0 ? entryA : entryB);
  if (child == 0) _exit(0);
  int status = 0;
  waitpid(child, &status, 0);

  std::string text = test::ReadFileText(path);
  ASSERT_EQ(text.size(), 2 * kRounds * entryA.size());
  for (size_t at = 0; at < text.size(); at += entryA.size()) {
    std::string entry = text.substr(at, entryA.size());
    EXPECT_TRUE(entry == entryA || entry == entryB) << "entry at " << at << " is torn";
  }
}

TEST(AppendWhole, AnEntryThatDoesNotFitLeavesTheLogAsItWas) {
  test::ScopedTempDir dir;
  const std::string path = dir.File("log.txt");
  const std::string first = "first entry\n";
  ASSERT_TRUE(AppendWhole(path, first));
  // A file-size limit just past the log cuts the next write short, as a
  // full disk would.
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{first.size() + 50, first.size() + 50};
    setrlimit(RLIMIT_FSIZE, &limit);
    const Status appended = AppendWhole(path, std::string(100, 'x') + "\n");
    // The system's cause, not a guess.
    _exit(appended.reason() == path + ": the entry was not added: File too large" ? 0 : 1);
  }
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "the cut entry was reported written, or not why";
  EXPECT_EQ(test::ReadFileText(path), first);
}

}  // namespace
}  // namespace tamarind::platform
