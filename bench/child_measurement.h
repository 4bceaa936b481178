// A measurement in a child process of its own, so that its peak resident
// size (VmHWM) is the measured work's alone and not what the benchmark
// held before it.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>
#include <type_traits>

namespace tamarind::bench {

// Kilobytes of this process's resident set: now (VmRSS) or at its peak
// (VmHWM).
inline long StatusKb(const std::string& field) {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line))
    if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
  return -1;
}

// What |work| cost, and what it returned.
template <typename Value>
struct ChildMeasurement {
  Value value{};
  double wall = 0;       // seconds
  double processor = 0;  // by the clock the caller named
  long peakKb = 0;       // beyond the resident set before the work
};

// Runs |work| in a child process after |prepare| (whose memory does not
// count), timed by the wall clock and by |processorSeconds|, and brings
// back its measurement. |work| returns a value that can be copied as
// bytes, since it crosses a pipe.
template <typename Work>
auto InChild(const std::function<void()>& prepare, const Work& work, double (*processorSeconds)())
    -> ChildMeasurement<std::invoke_result_t<const Work&>> {
  using Measurement = ChildMeasurement<std::invoke_result_t<const Work&>>;
  static_assert(std::is_trivially_copyable_v<Measurement>);
  int fds[2];
  if (pipe(fds) != 0) throw std::runtime_error("pipe");
  const pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork");
  if (child == 0) {
    close(fds[0]);
    prepare();
    Measurement result;
    const long before = StatusKb("VmRSS");
    const auto start = std::chrono::steady_clock::now();
    const double processorStart = processorSeconds();
    result.value = work();
    result.wall = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    result.processor = processorSeconds() - processorStart;
    result.peakKb = StatusKb("VmHWM") - before;
    if (write(fds[1], &result, sizeof result) != sizeof result) _exit(1);
    _exit(0);
  }
  close(fds[1]);
  Measurement result;
  const bool got = read(fds[0], &result, sizeof result) == sizeof result;
  close(fds[0]);
  int status = 0;
  waitpid(child, &status, 0);
  if (!got || !WIFEXITED(status) || WEXITSTATUS(status) != 0) throw std::runtime_error("a measurement failed");
  return result;
}

}  // namespace tamarind::bench
