#pragma once
// Runs a StandinBoard behind a pseudo-terminal on its own thread (POSIX only:
// standin_host_posix.cpp). The program under test opens the slave side (or a
// stable symbolic link to it) as its COM port; the host answers like a board,
// writes a transcript of every byte with times, and can be told to answer
// late, stay silent, send noise, drop out and come back.
//
// Transcript lines (one per command, reply or event, flushed at once):
//   <seconds since start, microseconds> <dir> <hex bytes>  <description>
//   dir '<' from the program, '>' to the program, '#' an event such as
//   "opened at 115200 baud", "closed", "1200-baud open: bootloader reset",
//   "dropped out", "back on /dev/pts/7".
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "standin_board/standin_board.h"

struct StandinHostOptions {
  std::string link;        // symbolic link kept pointing at the current slave; empty = none
  std::string transcript;  // transcript file; empty = none
  std::string controlPath; // FIFO (created when missing) read for control lines; empty = none
  int controlFd = -1;      // an already open descriptor read for control lines (stdin)
  uint32_t replyDelayMs = 0;
  uint32_t reportPeriodMs = 250;  // "#" reports while the debug level is above 0; 0 = none
  bool echo = false;              // transcript lines also to stderr
};

class StandinHost {
 public:
  explicit StandinHost(StandinHostOptions options);
  ~StandinHost();  // Stop()
  StandinHost(const StandinHost&) = delete;
  StandinHost& operator=(const StandinHost&) = delete;

  // Creates the pseudo-terminal and starts answering; false (with a message on
  // stderr) when the terminal, the link or the FIFO cannot be made.
  bool Start();
  void Stop();

  std::string SlavePath() const;  // current slave; empty while dropped out
  // Applies a control line (see StandinControlHelp) and waits until it took
  // effect; false with *error when the line was refused.
  bool Control(const std::string& line, std::string* error = nullptr);
  // Runs f on the board under the host's lock.
  void WithBoard(const std::function<void(StandinBoard&)>& f);
  std::vector<uint8_t> Received();  // every byte received so far
  std::vector<std::string> Transcript();
  int BootloaderResets();
  bool Connected();
  bool QuitRequested();

 private:
  struct State;
  std::unique_ptr<State> s_;
};
