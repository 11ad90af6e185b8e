#pragma once

// Runs test code in a forked child, for what a test cannot do to itself:
// kill it at a chosen moment, or lower its resource limits.

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <thread>

namespace vantoril::testing {

// The child's exit code, or 128 + the signal that ended it.
inline int WaitForChild(pid_t child) {
  int status = 0;
  while (waitpid(child, &status, 0) < 0) {
  }
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs body in a child process and returns what WaitForChild gives.
inline int RunInChild(const std::function<int()>& body) {
  const pid_t child = fork();
  if (child == 0) {
    _exit(body());
  }
  return child < 0 ? -1 : WaitForChild(child);
}

// Starts body in a child and kills it with SIGKILL `after` later (unless it
// finished first). True when the kill ended it.
inline bool KillChildAfter(const std::function<void()>& body, std::chrono::microseconds after) {
  const pid_t child = fork();
  if (child == 0) {
    body();
    _exit(0);
  }
  if (child < 0) return false;
  std::this_thread::sleep_for(after);
  kill(child, SIGKILL);
  return WaitForChild(child) == 128 + SIGKILL;
}

}  // namespace vantoril::testing
