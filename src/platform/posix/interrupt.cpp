#include "platform/interrupt.h"

#include <fcntl.h>
#include <limits.h>
#include <unistd.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <cstring>

namespace tamarind::platform {

namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

// What the handler may touch: lock-free atomics, a pipe's write end and the
// guarded names. Process-wide by nature (a signal disposition is).
std::atomic<int> firstSignal{0};
std::atomic<int> signalCount{0};
std::atomic<bool> endAtOnce{false};
std::atomic<int> wakeRead{-1};
std::atomic<int> wakeWrite{-1};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free);

// A guarded name's slot. Its owner claims it (kFree -> kFilling), writes
// the folder and the name, and publishes it (kReady); the handler takes a
// published slot (kReady -> kRemoving) before it reads it, so the owner can
// never rewrite a slot under the handler's eyes. A slot the handler took
// stays taken: the process is ending.
enum SlotState : int { kFree, kFilling, kReady, kRemoving };
struct GuardedName {
  std::atomic<int> state{kFree};
  int folder = -1;
  char name[NAME_MAX + 1] = {};
};
std::array<GuardedName, kMaxGuardedNames> guardedNames;

// Async-signal-safe: only unlinkat and atomics.
void RemoveGuardedNames() {
  for (GuardedName& slot : guardedNames) {
    int ready = kReady;
    if (slot.state.compare_exchange_strong(ready, kRemoving)) unlinkat(slot.folder, slot.name, 0);
  }
}

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
  const int before = signalCount.fetch_add(1);
  int none = 0;
  firstSignal.compare_exchange_strong(none, signal);
  if (const int fd = wakeWrite.load(); fd >= 0) {
    const char byte = 1;
    [[maybe_unused]] ssize_t ignored = write(fd, &byte, 1);  // a full pipe is awake already
  }
  // A second signal means the user will not wait for the files in
  // progress to end.
  if (endAtOnce.load() || before > 0) {
    RemoveGuardedNames();
    EndWith(signal);
  }
  errno = savedErrno;
}

void MakeWakePipe() {
  if (wakeRead.load() >= 0) return;
  int fds[2];
  if (pipe2(fds, O_NONBLOCK | O_CLOEXEC) != 0) return;
  wakeRead.store(fds[0]);
  wakeWrite.store(fds[1]);
}

void Ignore(int signal) {
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(signal, &ignore, nullptr);
}

}  // namespace

TemporaryNameGuard::TemporaryNameGuard(int folder, std::string_view name) {
  if (folder < 0 || name.empty() || name.size() > NAME_MAX) return;
  for (int i = 0; i < kMaxGuardedNames; ++i) {
    GuardedName& slot = guardedNames[static_cast<size_t>(i)];
    int free = kFree;
    if (!slot.state.compare_exchange_strong(free, kFilling)) continue;
    slot.folder = folder;
    std::memcpy(slot.name, name.data(), name.size());
    slot.name[name.size()] = '\0';
    slot.state.store(kReady);
    slot_ = i;
    return;
  }
}

TemporaryNameGuard::~TemporaryNameGuard() {
  if (slot_ < 0) return;
  int ready = kReady;
  guardedNames[static_cast<size_t>(slot_)].state.compare_exchange_strong(ready, kFree);
}

void InstallInterruptHandlers(OnInterrupt action) {
  endAtOnce.store(action == OnInterrupt::kRecordAndEnd);
  MakeWakePipe();
  for (int signal : kSignals) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction handler {};
    handler.sa_handler = RecordInterrupt;
    handler.sa_mask = InterruptSignalSet();
    // No SA_RESTART: a call the main thread waits in (an open or a read of
    // a pipe) returns EINTR, and the program looks at the flag.
    handler.sa_flags = 0;
    sigaction(signal, &handler, nullptr);
  }
}

bool InterruptRequested() { return firstSignal.load() != 0; }

int InterruptSignal() { return firstSignal.load(); }

int InterruptCount() { return signalCount.load(); }

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
  const int signal = firstSignal.load();
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

void IgnoreWriteSignals() {
  Ignore(SIGPIPE);
  Ignore(SIGXFSZ);
}

}  // namespace tamarind::platform
