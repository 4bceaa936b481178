#include "child_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <stdexcept>

#include "support/test_files.h"

namespace tamarind::test {

namespace {

std::vector<char*> Pointers(std::vector<std::string>& strings) {
  std::vector<char*> pointers;
  for (std::string& s : strings) pointers.push_back(s.data());
  pointers.push_back(nullptr);
  return pointers;
}

// Reads the child's output until it closes the pipe or |deadline| passes.
// False at the deadline.
bool Drain(int fd, std::string& output, std::chrono::steady_clock::time_point deadline) {
  char buffer[65536];
  for (;;) {
    const auto left =
        std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) return false;
    pollfd poller{fd, POLLIN, 0};
    const int ready = poll(&poller, 1, static_cast<int>(left.count()));
    if (ready == 0) return false;
    if (ready < 0) continue;  // EINTR
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n > 0) output.append(buffer, static_cast<size_t>(n));
    else if (n == 0 || errno != EINTR) return true;
  }
}

// What /usr/bin/time -f "%M" wrote: an optional "Command terminated by
// signal N" or "... status N" line, then the peak in kilobytes.
void ReadTimeReport(const std::string& path, ChildResult& result) {
  const std::string text = ReadFileText(path);
  if (size_t at = text.find("terminated by signal "); at != std::string::npos) {
    result.exited = false;
    result.signal = std::atoi(text.c_str() + at + 21);
  }
  const size_t lastLine = text.rfind('\n', text.size() >= 2 ? text.size() - 2 : 0);
  result.peakRssKb = std::atol(text.c_str() + (lastLine == std::string::npos ? 0 : lastLine + 1));
}

// Ends the program at its time limit: a planned signal, or SIGKILL for a
// hang. A signal the program handles must still end it, and soon.
void Stop(pid_t pid, int output, const ChildOptions& options, ChildResult& result) {
  using Clock = std::chrono::steady_clock;
  result.timedOut = !options.killAtLimit;
  const bool graceful = options.killAtLimit && options.killSignal != SIGKILL;
  kill(-pid, graceful ? options.killSignal : SIGKILL);
  const auto signalled = Clock::now();
  if (!graceful) return;
  if (Drain(output, result.output, signalled + options.endGrace)) {
    result.endedAfterSignal = std::chrono::duration_cast<std::chrono::milliseconds>(Clock::now() - signalled);
    return;
  }
  kill(-pid, SIGKILL);
  result.timedOut = true;
}

}  // namespace

ChildResult RunTamarind(const ChildOptions& options) {
  ScopedTempDir scratch;
  std::vector<std::string> argv;
  if (options.measureMemory) argv = {"/usr/bin/time", "-f", "%M", "-o", scratch.File("time")};
  argv.insert(argv.end(), options.runUnder.begin(), options.runUnder.end());
  argv.push_back(BinaryDir() + "/tamarind");
  argv.insert(argv.end(), options.arguments.begin(), options.arguments.end());
  std::vector<std::string> envp = ProgramEnvironment(scratch.Path(), options.environment);

  int pipeFds[2];
  if (pipe2(pipeFds, O_CLOEXEC) != 0) throw std::runtime_error("pipe failed");
  // A group of its own, so that a kill reaches the program under time too.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], STDOUT_FILENO);
  const std::string errorsFile = scratch.File("stderr");
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errorsFile.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
  std::vector<char*> argPointers = Pointers(argv);
  std::vector<char*> envPointers = Pointers(envp);
  pid_t pid = -1;
  const int spawned =
      posix_spawnp(&pid, argv[0].c_str(), &actions, &attributes, argPointers.data(), envPointers.data());
  posix_spawn_file_actions_destroy(&actions);
  posix_spawnattr_destroy(&attributes);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    throw std::runtime_error("cannot start " + argv[0]);
  }

  ChildResult result;
  const auto deadline = std::chrono::steady_clock::now() + options.limit;
  if (!Drain(pipeFds[0], result.output, deadline)) Stop(pid, pipeFds[0], options, result);
  close(pipeFds[0]);
  int status = 0;
  while (waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  result.exited = WIFEXITED(status);
  result.exitCode = result.exited ? WEXITSTATUS(status) : -1;
  result.signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  if (options.measureMemory && result.exited) ReadTimeReport(scratch.File("time"), result);
  result.errors = ReadFileText(errorsFile);
  return result;
}

}  // namespace tamarind::test
