#include "platform/interrupt.h"

#include <signal.h>
#include <unistd.h>

#include <atomic>

namespace tamarind::platform {

namespace {

// One slot per output being written at once (one per worker is plenty).
// Lock-free, because the signal handler reads them at any moment.
constexpr int kSlots = 256;
std::atomic<const char*> unfinished[kSlots];

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};

extern "C" void RemoveAndDie(int signal) {
  for (auto& slot : unfinished) {
    if (const char* path = slot.load()) unlink(path);
  }
  // End the process the way the signal would have, for the caller's sake.
  struct sigaction plain {};
  plain.sa_handler = SIG_DFL;
  sigemptyset(&plain.sa_mask);
  sigaction(signal, &plain, nullptr);
  raise(signal);
}

}  // namespace

void RemoveUnfinishedOutputsOnInterrupt() {
  for (int signal : kSignals) {
    struct sigaction current {};
    if (sigaction(signal, nullptr, &current) != 0 || current.sa_handler == SIG_IGN) continue;
    struct sigaction handler {};
    handler.sa_handler = RemoveAndDie;
    sigemptyset(&handler.sa_mask);
    for (int other : kSignals) sigaddset(&handler.sa_mask, other);
    sigaction(signal, &handler, nullptr);
  }
}

int RegisterUnfinished(const char* path) {
  for (int i = 0; i < kSlots; ++i) {
    const char* empty = nullptr;
    if (unfinished[i].compare_exchange_strong(empty, path)) return i;
  }
  return -1;
}

void UnregisterUnfinished(int slot) {
  if (slot >= 0 && slot < kSlots) unfinished[slot].store(nullptr);
}

}  // namespace tamarind::platform
