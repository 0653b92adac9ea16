// Outside programs natively: posix_spawn with the output on a pipe.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "exec/os.h"
#include "update/process_io.h"

extern char** environ;

namespace {

constexpr size_t kPathSize = 1024;
constexpr int kArgsMax = 32;

// '\' separated names work natively as they do on Windows.
bool NativePath(const char* program, char* out) {
  const int n = std::snprintf(out, kPathSize, "%s", program);
  if (n < 0 || static_cast<size_t>(n) >= kPathSize) return false;
  for (char* p = out; *p; ++p) {
    if (*p == '\\') *p = '/';
  }
  struct stat info;
  if (stat(out, &info) == 0) return true;
  const size_t length = std::strlen(out);
  if (length + 5 > kPathSize) return false;
  std::memcpy(out + length, ".exe", 5);
  if (stat(out, &info) == 0) return true;
  out[length] = 0;
  return true;  // let posix_spawn say that it is not there
}

}  // namespace

bool ProcessRunner::RunCapture(const char* program, const char* const* args, ProcessOutput* output,
                               uint32_t timeoutMs, int* exitCode) {
  if (exitCode) *exitCode = -1;
  char path[kPathSize];
  if (program == nullptr || !NativePath(program, path)) return false;
  char* argv[kArgsMax + 1];
  int argc = 0;
  for (const char* const* a = args; a && *a && argc < kArgsMax; ++a) argv[argc++] = const_cast<char*>(*a);
  argv[argc] = nullptr;

  int pipeFds[2] = {-1, -1};
  if (output && pipe2(pipeFds, O_CLOEXEC) != 0) return false;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  if (output) posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, path, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  if (output) close(pipeFds[1]);
  if (spawned != 0) {
    if (output) close(pipeFds[0]);
    return false;
  }

  const uint64_t end = os::MonotonicUs() + uint64_t{timeoutMs} * 1000u;
  bool open = output != nullptr;
  int status = 0;
  bool ended = false;
  bool killed = false;
  while (!ended || open) {
    if (open) {
      pollfd p{pipeFds[0], POLLIN, 0};
      poll(&p, 1, 10);
      if (p.revents & (POLLIN | POLLHUP | POLLERR)) {
        char buffer[4096];
        const ssize_t got = read(pipeFds[0], buffer, sizeof buffer);
        if (got > 0) {
          output->Append(buffer, static_cast<size_t>(got));
        } else if (got == 0 || errno != EINTR) {
          open = false;
        }
      }
    } else if (!ended) {
      os::SleepUs(1000);
    }
    if (!ended && waitpid(pid, &status, WNOHANG) == pid) ended = true;
    if (os::MonotonicUs() >= end) {
      if (!ended) {
        kill(pid, SIGKILL);
        waitpid(pid, &status, 0);
        ended = true;
        killed = true;
      }
      open = false;  // a child of the program may still hold the pipe
    }
  }
  if (output) close(pipeFds[0]);
  if (exitCode && !killed) *exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  // A program that could not be executed at all is reported by the child as 127.
  return true;
}

ProcessRunner& SystemProcesses() {
  static ProcessRunner runner;
  return runner;
}
