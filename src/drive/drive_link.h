#pragma once
// The servo drive in developer mode: the SimpleMotion link to node 2 on the
// chosen COM port, its firmware version and torque bandwidth, the restart
// and clear-faults commands, and the motor current as an average and a
// maximum over a sliding window of 100 ms samples.
//
// A DriveLink does nothing at all (opens no port, logs nothing, shows
// nothing) until SwitchOn() is called; the program calls it only in
// developer mode, so outside it no drive port is ever opened.
//
// What the drive/state strip shows goes out through DriveView. The two
// settings it works with stay entries of the wheel's parameter table (their
// value and range only): the torque bandwidth index (0..11) and the
// statistics window in samples (1..3000).
//
// A drive that stops answering while linked (adapter unplugged, drive
// switched off) is let go after kDriveFailuresBeforeClose consecutive failed
// exchanges: the link closes, the strip shows "NA" with the controls
// disabled, and one line goes to the log. While a port is chosen but no link
// is open, UpdateDriveCurrent tries the configuration again at most every
// kDriveRetryIntervalMs (quietly: only a success is logged), so a drive that
// comes back is found without a restart; on a port where no drive has
// answered yet the interval grows up to kDriveRetryMaxIntervalMs. Every call blocks at most one
// exchange's bound per exchange it makes: 400 ms against a silent drive, and
// a try against a silent drive makes one.
//
// User-interface thread only.
#include <cstdint>

#include "drive/simple_motion.h"
#include "exec/deadline.h"

struct WheelParameter;

// What the strip shows of the drive; the app implements it over the strip's
// controls.
class DriveView {
 public:
  virtual ~DriveView() = default;
  // "Average Current :" and "Maximum Current :": "%1.1f A" each, or "NA".
  virtual void ShowCurrents(const char* average, const char* maximum) = 0;
  // The drive control set: the "Window" and "Torque BW :" sliders with their
  // texts and values, "Reset Max", "Restart Drive", "Clear Faults".
  virtual void EnableDriveControls(bool enabled) = 0;
  // The torque bandwidth entry took the drive's value: its slider and text.
  virtual void ShowTorqueBandwidth(const WheelParameter& entry) {}
};

constexpr uint8_t kDriveNode = 2;
constexpr uint16_t kDriveReadTimeoutMs = 200;
constexpr int kCurrentSampleCount = 3000;
constexpr float kAmpsPerCurrentUnit = 0.0018f;

// Drive parameters (SimpleMotion addresses on node 2).
constexpr uint16_t kDriveVersion = 3;
constexpr uint16_t kDriveTorqueBandwidth = 490;
constexpr uint16_t kDriveControl = 554;         // 2 restarts the drive
constexpr uint16_t kDriveEncoderPulses = 565;
constexpr uint16_t kDriveCurrent = 901;
constexpr uint16_t kDriveFaults = 2533;         // 3 clears the faults
constexpr int32_t kDriveRestartValue = 2;
constexpr int32_t kDriveClearFaultsValue = 3;

constexpr int kDriveFailuresBeforeClose = 3;
constexpr uint32_t kDriveRetryIntervalMs = 3000;
// A port where no drive ever answered may hold something else (the same
// USB-serial chip is on many boards, some of which reset on each open): its
// interval doubles after every try, up to this.
constexpr uint32_t kDriveRetryMaxIntervalMs = 60000;

class DriveLink {
 public:
  // The references must outlive the link. clock gives the retry times.
  DriveLink(WheelParameter& torqueBandwidth, WheelParameter& window, DriveView& view,
            LinkClock& clock = SystemLinkClock());
  ~DriveLink();  // Close()
  DriveLink(const DriveLink&) = delete;
  DriveLink& operator=(const DriveLink&) = delete;

  // Developer mode: from now on the operations below act.
  void SwitchOn() { on_ = true; }
  bool IsOn() const { return on_; }
  bool IsOpen() const { return bus_ >= 0; }
  // The SimpleMotion port number worked with (the last one configured); 0 = none.
  uint8_t Port() const { return port_; }

  // Opens the link on "COM<port>", reads the version and the torque
  // bandwidth (into its entry and shown at once, when the drive's value is a
  // valid index) and logs each step. An open link is closed first.
  void ConfigureDrive(uint8_t port);
  // A port picked in the list: configures only when it differs from Port().
  // True when it configured.
  bool ChoosePort(uint8_t port);
  // The 100 ms readout: one current sample, the window's statistics to the
  // view; "NA" and the controls disabled while no link is open.
  void UpdateDriveCurrent();
  // "Reset Max": the next readout's maximum is the largest in its window.
  void ResetMax() { maximum_ = 0; }
  // "Restart Drive", "Clear Faults", "Torque BW :" moved (the entry's value):
  // one write each when a link is open; their status is not shown.
  void RestartDrive();
  void ClearFaults();
  void SendTorqueBandwidth();
  // A drive parameter for the advanced settings: the status, or
  // kSmCommError without sending anything when no link is open.
  SmStatus WriteDriveParameter(uint16_t address, int32_t value);
  // Closes the link (nothing is retried until the next ConfigureDrive).
  void Close();

  // The statistics as they stand.
  int32_t Sample(int index) const { return samples_[index]; }
  uint32_t RingPosition() const { return ringPosition_; }
  int32_t Maximum() const { return maximum_; }

 private:
  bool Configure(uint8_t port, bool quiet);
  SmStatus Write(const char* operation, uint16_t address, int32_t value);
  void NoteExchange(const char* operation, SmStatus status);
  void ShowNoLink();
  uint64_t NowMs() { return clock_.NowUs() / 1000u; }

  WheelParameter& torqueBandwidth_;
  WheelParameter& window_;
  DriveView& view_;
  LinkClock& clock_;
  bool on_ = false;
  int32_t bus_ = -1;
  uint8_t port_ = 0;
  bool retrying_ = false;     // a port is chosen and the link is to be tried again
  uint64_t nextTryMs_ = 0;
  bool answered_ = false;     // a drive answered on this port since it was chosen
  uint32_t retryIntervalMs_ = kDriveRetryIntervalMs;
  int failures_ = 0;          // consecutive failed exchanges on the open link
  int32_t samples_[kCurrentSampleCount] = {};
  uint32_t ringPosition_ = 0;
  int32_t maximum_ = 0;
};
