#pragma once
// Runs a StandinDrive behind a pseudo-terminal on its own thread (POSIX
// only). The program opens the slave side (or a stable symbolic link to it)
// as the drive's COM port; the host answers like the drive at whatever baud
// rate the line was set to, writes a transcript, and can be told to answer
// late, stay silent, corrupt its replies, drop out and come back.
//
// Transcript lines (one per packet or event, flushed at once):
//   <seconds since start, microseconds> <dir> <hex bytes>  <description>
//   dir '<' from the program, '>' to the program, '#' an event such as
//   "opened at 460800 baud", "closed", "dropped out", "back on /dev/pts/7".
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "standin_drive/standin_drive.h"

struct StandinDriveHostOptions {
  std::string link;         // symbolic link kept pointing at the current slave; empty = none
  std::string transcript;   // transcript file; empty = none
  std::string controlPath;  // FIFO (made when missing) read for control lines; empty = none
  int controlFd = -1;       // an already open descriptor read for control lines (stdin)
  uint32_t replyDelayMs = 0;
  bool echo = false;        // transcript lines also to stderr
};

class StandinDriveHost {
 public:
  explicit StandinDriveHost(StandinDriveHostOptions options);
  ~StandinDriveHost();  // Stop()
  StandinDriveHost(const StandinDriveHost&) = delete;
  StandinDriveHost& operator=(const StandinDriveHost&) = delete;

  // Creates the pseudo-terminal and starts answering; false (with a message
  // on stderr) when the terminal, the link, the transcript or the FIFO
  // cannot be made.
  bool Start();
  void Stop();

  std::string SlavePath() const;  // current slave; empty while dropped out
  // Applies a control line (StandinDriveControlHelp) and waits until it
  // took effect; false with *error when the line was refused.
  bool Control(const std::string& line, std::string* error = nullptr);
  // Runs f on the drive model under the host's lock.
  void WithDrive(const std::function<void(StandinDrive&)>& f);
  std::vector<uint8_t> Received();  // every byte received so far
  std::vector<std::string> Transcript();
  bool QuitRequested();

 private:
  struct State;
  std::unique_ptr<State> s_;
};
