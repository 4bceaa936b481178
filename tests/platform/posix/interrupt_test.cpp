#include "platform/interrupt.h"

#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <string.h>
#include <sys/resource.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "platform/atomic_file.h"
#include "support/test_files.h"

namespace tamarind::platform {
namespace {

// The death tests run in a child process: the handlers and the recorded
// signals are the process's. Every signal the handler takes is sent to it
// once; what follows is the same for all of them.
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
  if (!InterruptRequested() || InterruptSignal() != signal || InterruptCount() != 1 || poll(&wake, 1, 0) != 1)
    std::_Exit(6);
  // A call that waits is interrupted (no SA_RESTART), so the program gets
  // to look at the flag.
  struct sigaction installed {};
  sigaction(signal, nullptr, &installed);
  if (installed.sa_flags & SA_RESTART) std::_Exit(7);
  std::fputs("cleaned up", stderr);
  EndProcessWithPendingSignal();
  std::_Exit(8);
}

TEST_P(InterruptTest, IsRecordedAndEndsTheProcessWhenTheProgramSays) {
  EXPECT_EXIT(RecordThenEnd(GetParam()), ::testing::KilledBySignal(GetParam()), "cleaned up");
}

// A second signal does not wait for the program: the process ends at once
// with it, and the named temporary files go first.
[[noreturn]] void SignalTwice(int signal, const std::string& folder) {
  InstallInterruptHandlers(OnInterrupt::kRecord);
  auto file = AtomicOutputFile::Create(folder + "/page.jpg", {.unnamed = false});
  if (!file || (*file)->TemporaryName().empty()) std::_Exit(2);
  std::fputs("half a page", (*file)->Stream());
  raise(signal);
  if (InterruptCount() != 1) std::_Exit(3);
  raise(signal == SIGINT ? SIGTERM : SIGINT);
  std::_Exit(4);
}

INSTANTIATE_TEST_SUITE_P(Signals, InterruptTest, ::testing::Values(SIGINT, SIGTERM, SIGHUP),
                         [](const auto& info) { return std::string(sigabbrev_np(info.param)); });

TEST(Interrupt, ASecondSignalEndsTheProcessAtOnceWithoutItsTemporaryFiles) {
  test::ScopedTempDir dir;
  EXPECT_EXIT(SignalTwice(SIGTERM, dir.Path()), ::testing::KilledBySignal(SIGINT), "");
  EXPECT_TRUE(std::filesystem::is_empty(dir.Path()));
}

// What the program does until a run starts to look at the flag.
TEST(Interrupt, CanStillEndTheProcessAtOnce) {
  EXPECT_EXIT(
      {
        InstallInterruptHandlers(OnInterrupt::kRecordAndEnd);
        raise(SIGHUP);
        std::_Exit(0);
      },
      ::testing::KilledBySignal(SIGHUP), "");
}

// A signal the parent ignored stays ignored (nohup ignores SIGHUP, a shell
// SIGINT for a job in the background): it neither stops nor ends a run.
TEST(Interrupt, ASignalIgnoredByTheParentStaysIgnored) {
  EXPECT_EXIT(
      {
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) std::signal(signal, SIG_IGN);
        InstallInterruptHandlers(OnInterrupt::kRecordAndEnd);
        for (int signal : {SIGINT, SIGTERM, SIGHUP}) raise(signal);
        std::_Exit(InterruptRequested() ? 1 : 0);
      },
      ::testing::ExitedWithCode(0), "");
}

// A file-size limit fails the write that meets it (EFBIG) instead of ending
// the process with SIGXFSZ; the output says so.
[[noreturn]] void WritePastTheSizeLimit(const std::string& path) {
  IgnoreWriteSignals();
  const rlimit limit{4096, 4096};
  setrlimit(RLIMIT_FSIZE, &limit);
  auto file = AtomicOutputFile::Create(path);
  if (!file) std::_Exit(2);
  const std::string block(8192, 'x');
  std::fwrite(block.data(), 1, block.size(), (*file)->Stream());
  std::fprintf(stderr, "[%s]", (*file)->Commit().reason().c_str());
  std::_Exit(0);
}

TEST(IgnoreWriteSignals, AFileSizeLimitFailsTheWriteInsteadOfEndingTheProcess) {
  test::ScopedTempDir dir;
  EXPECT_EXIT(WritePastTheSizeLimit(dir.File("big.pdf")), ::testing::ExitedWithCode(0),
              "\\[" + dir.File("big.pdf") + ": File too large\\]");
}

}  // namespace
}  // namespace tamarind::platform
