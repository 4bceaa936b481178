// Ctrl-C, SIGTERM and SIGHUP: recorded by the handler, acted on by the
// program.
//
// The handler records every one of these signals (and wakes a poll() on
// InterruptWakeDescriptor()); it touches nothing else, so it is safe
// whatever the threads were doing. The run then stops handing out work,
// each worker discards the output it is writing (an unnamed file vanishes
// with its descriptor; a named temporary file is removed by its owner), and
// the main thread ends the process with the signal's own status through
// EndProcessWithPendingSignal(). A second signal does not wait for that:
// the handler removes the named temporary files (TemporaryNameGuard) and
// ends the process at once. Worker threads block these signals, so the
// main thread is the one they interrupt; the handler is installed without
// SA_RESTART, so a call that waits there (a read from a pipe, an open)
// returns EINTR and the program sees the flag.
//
// On Windows the "signals" are console events, taken through
// SetConsoleCtrlHandler: Ctrl-C and Ctrl-Break are recorded as SIGINT, the
// console's close box, log-off and shut-down as SIGTERM. The system runs the
// handler on a thread of its own, so blocking in threads is not needed
// there and does nothing.
#pragma once

#include <signal.h>

#include <string>
#include <string_view>
#include <thread>
#include <utility>

namespace tamarind::platform {

enum class OnInterrupt {
  kRecord,        // only record; the program polls and ends itself
  kRecordAndEnd,  // record, then end the process at once with the signal
};

// At most this many temporary names are guarded at once; each worker holds
// one or two.
inline constexpr int kMaxGuardedNames = 128;

// A name in a folder that must not outlive the process (a temporary file's).
// While the guard lives, a signal that ends the process at once removes the
// name first. |folder| must stay open as long as the guard. Lock-free and
// safe from any thread; beyond kMaxGuardedNames names (or a name longer
// than NAME_MAX) the name is its owner's alone to remove.
class TemporaryNameGuard {
 public:
  TemporaryNameGuard(int folder, std::string_view name);
  TemporaryNameGuard(TemporaryNameGuard&& other) noexcept : slot_(std::exchange(other.slot_, -1)) {}
  TemporaryNameGuard& operator=(TemporaryNameGuard&&) = delete;
  TemporaryNameGuard(const TemporaryNameGuard&) = delete;
  ~TemporaryNameGuard();

 private:
  int slot_ = -1;
};

// Installs the handlers once; signals the process ignores (nohup) stay
// ignored. May be called again to change |action|.
void InstallInterruptHandlers(OnInterrupt action = OnInterrupt::kRecord);

// True once one of the signals arrived; the first signal, or 0; how many
// arrived.
bool InterruptRequested();
int InterruptSignal();
int InterruptCount();

// A descriptor that becomes readable when a signal is recorded, for a main
// thread that waits in poll(); -1 before the handlers are installed.
int InterruptWakeDescriptor();

// Blocks the three signals in the calling thread, so that they go to a
// thread that leaves them unblocked (the main thread).
void BlockInterruptSignalsInThisThread();

// Blocks the three signals in the calling thread while it lives and
// restores the thread's mask after.
class InterruptSignalsBlocked {
 public:
  InterruptSignalsBlocked();
  ~InterruptSignalsBlocked();
  InterruptSignalsBlocked(const InterruptSignalsBlocked&) = delete;
  InterruptSignalsBlocked& operator=(const InterruptSignalsBlocked&) = delete;

#ifndef _WIN32
 private:
  sigset_t previous_;
#endif
};

// Starts a thread that has the three signals blocked from its first
// instruction on (a new thread inherits its creator's mask).
template <typename Function, typename... Arguments>
std::jthread StartThreadWithInterruptsBlocked(Function&& function, Arguments&&... arguments) {
  InterruptSignalsBlocked blocked;
  return std::jthread(std::forward<Function>(function), std::forward<Arguments>(arguments)...);
}

// Ends the process as the recorded signal would have (default action, so
// the parent sees "killed by SIGINT"); returns only when none was recorded.
void EndProcessWithPendingSignal();

// "SIGINT" for SIGINT and so on; "" for 0 or a number no signal has.
std::string SignalName(int signal);

// A closed standard output or pipe then gives EPIPE on write instead of
// ending the process, and a file-size limit (ulimit -f) EFBIG instead of
// SIGXFSZ, so the output that meets it fails with its reason and the run
// goes on.
void IgnoreWriteSignals();

}  // namespace tamarind::platform
