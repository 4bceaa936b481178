#include "platform/interrupt.h"

#include <gtest/gtest.h>
#include <signal.h>

#include <cstdio>
#include <string>

#include "platform/atomic_file.h"
#include "support/test_files.h"

namespace tamarind::platform {
namespace {

// Writes part of an output and of a finished one, then is interrupted.
[[noreturn]] void WriteThenInterrupt(const test::ScopedTempDir& dir, int signal) {
  RemoveUnfinishedOutputsOnInterrupt();
  auto finished = std::move(*AtomicOutputFile::Create(dir.File("done.jpg")));
  std::fputs("whole", finished->Stream());
  (void)finished->Commit();
  auto unfinished = std::move(*AtomicOutputFile::Create(dir.File("half.jpg")));
  std::fputs("half", unfinished->Stream());
  std::fflush(unfinished->Stream());
  raise(signal);
  std::abort();  // not reached: the signal ends the process
}

TEST(InterruptTest, UnfinishedOutputsGoButFinishedOnesStay) {
  for (int signal : {SIGINT, SIGTERM, SIGHUP}) {
    test::ScopedTempDir dir;
    EXPECT_EXIT(WriteThenInterrupt(dir, signal), ::testing::KilledBySignal(signal), "");
    EXPECT_EQ(test::RunCommand("ls -A " + dir.Path()).output, "done.jpg\n") << strsignal(signal);
    EXPECT_EQ(test::ReadFileText(dir.File("done.jpg")), "whole");
  }
}

TEST(InterruptTest, SlotsAreReusedAndRunningOutOfThemIsHarmless) {
  std::string path = "unused";
  int first = RegisterUnfinished(path.c_str());
  ASSERT_GE(first, 0);
  UnregisterUnfinished(first);
  EXPECT_EQ(RegisterUnfinished(path.c_str()), first);
  UnregisterUnfinished(first);
  int taken = 0;
  while (RegisterUnfinished(path.c_str()) >= 0) ++taken;
  EXPECT_GT(taken, 8);
  for (int slot = 0; slot < taken; ++slot) UnregisterUnfinished(slot);
  UnregisterUnfinished(-1);  // what a full table handed out
  EXPECT_GE(RegisterUnfinished(path.c_str()), 0);
  for (int slot = 0; slot < taken; ++slot) UnregisterUnfinished(slot);
}

}  // namespace
}  // namespace tamarind::platform
