#include "platform/interrupt.h"

#include <windows.h>

#include <atomic>

namespace tamarind::platform {

namespace {

// The exit status Windows gives a console program ended by Ctrl-C.
constexpr UINT kEndedByControlC = 0xC000013A;
// The system ends the process this long after a close event's handler was
// called; the main thread gets nearly all of it to discard its outputs.
constexpr DWORD kCloseGraceMs = 4500;

std::atomic<int> recordedSignal{0};
std::atomic<int> eventCount{0};
std::atomic<bool> endAtOnce{false};
std::atomic<bool> installed{false};

BOOL WINAPI RecordConsoleEvent(DWORD event) {
  const bool closing = event == CTRL_CLOSE_EVENT || event == CTRL_LOGOFF_EVENT || event == CTRL_SHUTDOWN_EVENT;
  const int signal = closing ? SIGTERM : SIGINT;
  int none = 0;
  const bool first = recordedSignal.compare_exchange_strong(none, signal);
  eventCount.fetch_add(1);
  // A second Ctrl-C is the user insisting: end at once.
  if (endAtOnce.load() || (!first && !closing)) ExitProcess(kEndedByControlC);
  // Returning from a close event ends the process: wait here while the
  // program discards what it was writing and ends itself.
  if (closing) Sleep(kCloseGraceMs);
  return TRUE;
}

}  // namespace

void InstallInterruptHandlers(OnInterrupt action) {
  endAtOnce.store(action == OnInterrupt::kRecordAndEnd);
  if (!installed.exchange(true)) SetConsoleCtrlHandler(RecordConsoleEvent, TRUE);
}

bool InterruptRequested() { return recordedSignal.load() != 0; }

int InterruptSignal() { return recordedSignal.load(); }

int InterruptCount() { return eventCount.load(); }

int InterruptWakeDescriptor() { return -1; }

// An output's temporary file is marked for deletion while it is written,
// so the system removes it whichever way the process ends: nothing to
// guard.
TemporaryNameGuard::TemporaryNameGuard(int, std::string_view) {}

TemporaryNameGuard::~TemporaryNameGuard() = default;

void BlockInterruptSignalsInThisThread() {}

InterruptSignalsBlocked::InterruptSignalsBlocked() = default;

InterruptSignalsBlocked::~InterruptSignalsBlocked() = default;

void EndProcessWithPendingSignal() {
  if (recordedSignal.load() == 0) return;
  ExitProcess(kEndedByControlC);
}

// The two a console event is recorded as.
std::string SignalName(int signal) {
  if (signal == SIGINT) return "SIGINT";
  if (signal == SIGTERM) return "SIGTERM";
  return {};
}

// Windows has neither SIGPIPE nor SIGXFSZ: such writes fail with an error.
void IgnoreWriteSignals() {}

}  // namespace tamarind::platform
