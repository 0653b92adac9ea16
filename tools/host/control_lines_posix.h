#pragma once
// What every POSIX tool under tools/ reads its control lines from, and the
// pipe that wakes its thread out of a poll. POSIX only.
#include <functional>
#include <string>

// Control lines from a FIFO or an already open descriptor (stdin). Whole
// lines only; a trailing CR, empty lines and lines starting with '#' are
// dropped.
class ControlLines {
 public:
  ControlLines() = default;
  ~ControlLines();
  ControlLines(const ControlLines&) = delete;
  ControlLines& operator=(const ControlLines&) = delete;

  // Makes the FIFO at path when it is missing and opens it, or (path empty)
  // reads fd, or (fd < 0 as well) reads nothing. False with *error.
  bool Open(const std::string& path, int fd, std::string* error);
  int Fd() const { return fd_; }  // -1: nothing to read
  // Reads what is waiting, without blocking, and hands over each whole line.
  void Read(const std::function<void(const std::string&)>& line);

 private:
  int fd_ = -1;
  bool owned_ = false;
  std::string pending_;
};

class WakePipe {
 public:
  WakePipe() = default;
  ~WakePipe();
  WakePipe(const WakePipe&) = delete;
  WakePipe& operator=(const WakePipe&) = delete;

  bool Open();
  int Fd() const { return fds_[0]; }  // poll this for POLLIN
  void Wake();
  void Drain();

 private:
  int fds_[2] = {-1, -1};
};
