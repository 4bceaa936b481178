// The real program run as a child process: its exit, its peak memory, and
// a kill at a chosen moment.
#pragma once

#include <chrono>
#include <csignal>
#include <string>
#include <vector>

namespace tamarind::test {

struct ChildResult {
  bool exited = false;  // false: ended by a signal (or killed by us)
  int exitCode = -1;
  int signal = 0;
  bool timedOut = false;  // still running at the time limit, then killed
  long peakRssKb = 0;     // with measureMemory: the program's peak resident set
  std::string output;     // standard output
  std::string errors;     // standard error
  // From the planned signal to the program's end; -1 when none was sent.
  std::chrono::milliseconds endedAfterSignal{-1};
};

struct ChildOptions {
  std::vector<std::string> arguments;  // without the program name
  // NAME=value, over ours and test::ProgramEnvironment's isolation (in a
  // scratch folder).
  std::vector<std::string> environment;
  // A command the program runs under, its path and arguments following:
  // {"setpriv", "--reuid=65534", ...}, {"unshare", "-m", "sh", "-c", script}.
  std::vector<std::string> runUnder;
  // The child is killed with SIGKILL once this has passed.
  std::chrono::milliseconds limit{std::chrono::minutes(5)};
  bool killAtLimit = false;  // the limit is a planned kill, not a hang
  int killSignal = SIGKILL;  // what a planned kill sends
  // How long the program may take to end after a planned signal other than
  // SIGKILL before it counts as hung (timedOut) and is killed.
  // This bounds a hang only: whether the signal stopped the work shows in
  // what the run reports and leaves, which is the caller's to check.
  std::chrono::milliseconds endGrace{std::chrono::seconds(20)};
  // Runs the program under /usr/bin/time for its peak resident set. (A
  // child spawned straight from this process may inherit our own peak in
  // its accounts: the kernel counts the address space it had before exec.)
  bool measureMemory = false;
};

// Runs the tamarind program of this build tree.
ChildResult RunTamarind(const ChildOptions& options);

}  // namespace tamarind::test
