#include "platform/interrupt.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

namespace tamarind::platform {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// What the handler may touch: lock-free atomics and a pipe's write end.
// Process-wide by nature (a signal disposition is).
std::atomic<int> recordedSignal{0};
std::atomic<bool> endAtOnce{false};
std::atomic<int> wakeRead{-1};
std::atomic<int> wakeWrite{-1};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

sigset_t InterruptSignalSet() {
  sigset_t set;
  sigemptyset(&set);
  for (int signal : kSignals) sigaddset(&set, signal);
  return set;
}

// Async-signal-safe: sigaction, sigprocmask and raise are.
void EndWith(int signal) {
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigemptyset(&plain.sa_mask);
  sigaction(signal, &plain, nullptr);
  sigset_t only;
  sigemptyset(&only);
  sigaddset(&only, signal);
  // Unblocked, the signal raised below takes effect at once (inside the
  // handler, as soon as the handler returns).
  pthread_sigmask(SIG_UNBLOCK, &only, nullptr);
  raise(signal);
}

extern "C" void RecordInterrupt(int signal) {
  const int savedErrno = errno;
  int none = 0;
  recordedSignal.compare_exchange_strong(none, signal);
  if (const int fd = wakeWrite.load(); fd >= 0) {
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = write(fd, &byte, 1);  // a full pipe is awake already
  }
  if (endAtOnce.load()) EndWith(signal);
  errno = savedErrno;
}

void MakeWakePipe() {
  if (wakeRead.load() >= 0) return;
  int fds[2];
  if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return;
  wakeRead.store(fds[0]);
  wakeWrite.store(fds[1]);
}

}  // namespace

void InstallInterruptHandlers(OnInterrupt action) {
  endAtOnce.store(action == OnInterrupt::kRecordAndEnd);
  MakeWakePipe();
  for (int signal : kSignals) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction handler {};
    handler.sa_handler = RecordInterrupt;
    handler.sa_mask = InterruptSignalSet();
    // Interrupted system calls resume; the program looks at the flag.
    handler.sa_flags = SA_RESTART;
    sigaction(signal, &handler, nullptr);
  }
}

bool InterruptRequested() { return recordedSignal.load() != 0; }

int InterruptSignal() { return recordedSignal.load(); }

int InterruptWakeDescriptor() { return wakeRead.load(); }

void BlockInterruptSignalsInThisThread() {
  const sigset_t set = InterruptSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, nullptr);
}

InterruptSignalsBlocked::InterruptSignalsBlocked() {
  const sigset_t set = InterruptSignalSet();
  pthread_sigmask(SIG_BLOCK, &set, &previous_);
}

InterruptSignalsBlocked::~InterruptSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &previous_, nullptr); }

void EndProcessWithPendingSignal() {
  const int signal = recordedSignal.load();
  if (signal == 0) return;
  EndWith(signal);
  // A signal whose default action does not end the process: end anyway,
  // with the status a shell gives a process ended by it.
  _exit(128 + signal);
}

std::string SignalName(int signal) {
  const char* abbreviation = signal > 0 ? sigabbrev_np(signal) : nullptr;
  return abbreviation ? std::string("SIG") + abbreviation : std::string();
}

void IgnoreBrokenPipes() {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGPIPE, &ignore, nullptr);
}

}  // namespace tamarind::platform
