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

namespace {

class PosixProcess : public RunningProcess {
 public:
  PosixProcess(pid_t pid, int readFd) : pid_(pid), fd_(readFd) {}
  ~PosixProcess() override {
    Kill();
    if (fd_ >= 0) close(fd_);
  }
  bool Poll(ProcessOutput* output, int* exitCode) override {
    bool drained = fd_ < 0;
    while (fd_ >= 0) {
      char buffer[4096];
      const ssize_t got = read(fd_, buffer, sizeof buffer);
      if (got > 0) {
        if (output) output->Append(buffer, static_cast<size_t>(got));
        continue;
      }
      if (got < 0 && errno == EINTR) continue;
      drained = got == 0 || (errno != EAGAIN && errno != EWOULDBLOCK);
      break;
    }
    if (!ended_ && waitpid(pid_, &status_, WNOHANG) == pid_) ended_ = true;
    // A child of the program may hold the pipe open after it ended: what
    // was there has been read, that is enough.
    if (!ended_) return false;
    (void)drained;
    if (exitCode) *exitCode = killed_ || !WIFEXITED(status_) ? -1 : WEXITSTATUS(status_);
    return true;
  }
  void Kill() override {
    if (ended_) return;
    kill(pid_, SIGKILL);
    waitpid(pid_, &status_, 0);
    ended_ = true;
    killed_ = true;
  }

 private:
  pid_t pid_;
  int fd_;
  int status_ = 0;
  bool ended_ = false;
  bool killed_ = false;
};

}  // namespace

RunningProcess* ProcessRunner::Start(const char* program, const char* const* args, bool errorsToo) {
  char path[kPathSize];
  if (program == nullptr || !NativePath(program, path)) return nullptr;
  char* argv[kArgsMax + 1];
  int argc = 0;
  for (const char* const* a = args; a && *a && argc < kArgsMax; ++a) argv[argc++] = const_cast<char*>(*a);
  argv[argc] = nullptr;
  int pipeFds[2] = {-1, -1};
  if (pipe2(pipeFds, O_CLOEXEC) != 0) return nullptr;
  fcntl(pipeFds[0], F_SETFL, fcntl(pipeFds[0], F_GETFL) | O_NONBLOCK);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
  if (errorsToo) posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, path, &actions, nullptr, argv, environ);
  posix_spawn_file_actions_destroy(&actions);
  close(pipeFds[1]);
  if (spawned != 0) {
    close(pipeFds[0]);
    return nullptr;
  }
  return new PosixProcess(pid, pipeFds[0]);
}

bool ProcessRunner::CanStart(const char* program) {
  char path[kPathSize];
  struct stat info;
  return program != nullptr && NativePath(program, path) && stat(path, &info) == 0 && S_ISREG(info.st_mode) &&
         access(path, X_OK) == 0;
}

ProcessRunner& SystemProcesses() {
  static ProcessRunner runner;
  return runner;
}
