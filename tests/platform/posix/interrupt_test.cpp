#include "platform/interrupt.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <string.h>

#include <cstdio>
#include <cstdlib>

namespace tamarind::platform {
namespace {

// The death tests run in a child process: the handlers and the recorded
// signal are the process's.
class InterruptTest : public ::testing::TestWithParam<int> {};

// The signal is recorded, and the process ends with it only when the main
// thread says so, after its own clean-up.
[[noreturn]] void RecordThenEnd(int signal) {
  InstallInterruptHandlers();
  // A worker with the signals blocked cannot be the one interrupted.
  std::jthread worker = StartThreadWithInterruptsBlocked([] {
    sigset_t mask;
    pthread_sigmask(SIG_BLOCK, nullptr, &mask);
    if (!sigismember(&mask, SIGINT) || !sigismember(&mask, SIGTERM) || !sigismember(&mask, SIGHUP)) std::_Exit(3);
  });
  worker.join();
  sigset_t mine;
  pthread_sigmask(SIG_BLOCK, nullptr, &mine);
  if (sigismember(&mine, SIGINT)) std::_Exit(4);  // the starter's mask is back

  if (InterruptRequested()) std::_Exit(5);
  raise(signal);
  pollfd wake{InterruptWakeDescriptor(), POLLIN, 0};
  if (!InterruptRequested() || InterruptSignal() != signal || poll(&wake, 1, 0) != 1) std::_Exit(6);
  raise(signal == SIGINT ? SIGTERM : SIGINT);  // the first signal stays the one
  if (InterruptSignal() != signal) std::_Exit(7);
  std::fputs("cleaned up", stderr);
  EndProcessWithPendingSignal();
  std::_Exit(8);
}

TEST_P(InterruptTest, IsRecordedAndEndsTheProcessWhenTheProgramSays) {
  EXPECT_EXIT(RecordThenEnd(GetParam()), ::testing::KilledBySignal(GetParam()), "cleaned up");
}

// What the program does until a run starts to look at the flag.
TEST_P(InterruptTest, CanStillEndTheProcessAtOnce) {
  EXPECT_EXIT(
      {
        InstallInterruptHandlers(OnInterrupt::kRecordAndEnd);
        raise(GetParam());
        std::_Exit(0);
      },
      ::testing::KilledBySignal(GetParam()), "");
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptTest, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

}  // namespace
}  // namespace tamarind::platform
