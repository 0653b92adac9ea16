#pragma once
// Runs a StandinDrive behind a pseudo-terminal on the shared host
// (host/pty_host_posix.h: the terminal, its link, the transcript, control
// lines, drop and back). The drive answers at whatever baud rate the line was
// set to, and can be told to answer late, stay silent or corrupt its replies.
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/pty_host_posix.h"
#include "standin_drive/standin_drive.h"

struct StandinDriveHostOptions : PtyHostOptions {
  uint32_t replyDelayMs = 0;
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

  std::string SlavePath();  // current slave; empty while dropped out
  // Applies a control line (StandinDriveControlHelp) and waits until it
  // took effect; false with *error when the line was refused.
  bool Control(const std::string& line, std::string* error = nullptr);
  // Runs f on the drive model under the host's lock.
  void WithDrive(const std::function<void(StandinDrive&)>& f);
  std::vector<uint8_t> Received();  // every byte received so far
  std::vector<std::string> Transcript();
  bool QuitRequested();

 private:
  class Device;
  std::unique_ptr<Device> d_;
};
