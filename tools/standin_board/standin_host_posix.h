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
//
// Bootloader mode (bootloaderLink set): after the 1200-baud open and close the
// board leaves its port (its link goes away, like a USB device that
// re-enumerates) and a bootloader that speaks AVR109 appears on a new
// pseudo-terminal behind bootloaderLink ("bootloader on /dev/pts/9"). It
// returns as the board ("back as the board on ...") when the flasher sends
// "E", or when nothing came for bootloaderMs. A session that wrote flash
// leaves the board with its default settings (new firmware) and, when
// flashedVersion is set, that version.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "standin_board/standin_board.h"
#include "standin_board/standin_bootloader.h"

struct StandinHostOptions {
  std::string link;        // symbolic link kept pointing at the current slave; empty = none
  std::string transcript;  // transcript file; empty = none
  std::string controlPath; // FIFO (created when missing) read for control lines; empty = none
  int controlFd = -1;      // an already open descriptor read for control lines (stdin)
  uint32_t replyDelayMs = 0;
  uint32_t reportPeriodMs = 250;  // "#" reports while the debug level is above 0; 0 = none
  bool echo = false;              // transcript lines also to stderr
  std::string bootloaderLink;     // where the bootloader appears; empty = reset in place
  uint32_t bootloaderMs = 8000;   // the bootloader waits this long for a flasher
  uint32_t flashedVersion = 0;    // the version after a flash; 0 = unchanged
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
  bool InBootloader();
  // The bootloader's flash memory as it is now (32 KiB).
  std::vector<uint8_t> BootloaderFlash();
  bool Connected();
  bool QuitRequested();

 private:
  struct State;
  std::unique_ptr<State> s_;
};
