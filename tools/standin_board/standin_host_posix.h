#pragma once
// Runs a StandinBoard behind a pseudo-terminal on the shared host
// (host/pty_host_posix.h: the terminal, its link, the transcript, control
// lines, drop and back). The board answers like a board, and can be told to
// answer late, stay silent, send noise or "#" reports. A 1200-baud open and
// close is noted as "1200-baud open: bootloader reset".
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

#include "host/pty_host_posix.h"
#include "standin_board/standin_board.h"
#include "standin_board/standin_bootloader.h"

struct StandinHostOptions : PtyHostOptions {
  uint32_t replyDelayMs = 0;
  uint32_t reportPeriodMs = 250;  // "#" reports while the debug level is above 0; 0 = none
  uint32_t reportRate = 0;        // reports a second instead of the period; 0 = the period
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

  std::string SlavePath();  // current slave; empty while dropped out
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
  class Device;
  std::unique_ptr<Device> d_;
};
