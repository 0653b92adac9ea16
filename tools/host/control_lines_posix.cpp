#include "host/control_lines_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

ControlLines::~ControlLines() {
  if (owned_ && fd_ >= 0) close(fd_);
}

bool ControlLines::Open(const std::string& path, int fd, std::string* error) {
  if (path.empty()) {
    fd_ = fd;
    if (fd_ >= 0) fcntl(fd_, F_SETFL, fcntl(fd_, F_GETFL) | O_NONBLOCK);
    return true;
  }
  if (mkfifo(path.c_str(), 0600) != 0 && errno != EEXIST) {
    if (error) *error = "cannot make FIFO " + path + ": " + std::strerror(errno);
    return false;
  }
  // Read and write, so the FIFO never reports end-of-file between writers.
  fd_ = open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
  owned_ = true;
  if (fd_ < 0 && error) *error = "cannot open FIFO " + path + ": " + std::strerror(errno);
  return fd_ >= 0;
}

void ControlLines::Read(const std::function<void(const std::string&)>& line) {
  if (fd_ < 0) return;
  char buffer[512];
  ssize_t got;
  while ((got = read(fd_, buffer, sizeof buffer)) > 0) {
    pending_.append(buffer, static_cast<size_t>(got));
    size_t end;
    while ((end = pending_.find('\n')) != std::string::npos) {
      std::string text = pending_.substr(0, end);
      pending_.erase(0, end + 1);
      if (!text.empty() && text.back() == '\r') text.pop_back();
      if (!text.empty() && text[0] != '#') line(text);
    }
  }
}

WakePipe::~WakePipe() {
  for (int fd : fds_) {
    if (fd >= 0) close(fd);
  }
}

bool WakePipe::Open() { return fds_[0] >= 0 || pipe2(fds_, O_NONBLOCK | O_CLOEXEC) == 0; }

void WakePipe::Wake() {
  const char b = 1;
  if (fds_[1] >= 0) (void)!write(fds_[1], &b, 1);
}

void WakePipe::Drain() {
  char drain[64];
  while (fds_[0] >= 0 && read(fds_[0], drain, sizeof drain) > 0) {
  }
}
