// Drive configuration, the current statistics and the drive commands.
#include "drive/drive_link.h"

#include <algorithm>
#include <cstdio>

#include "drive/sm_port.h"
#include "exec/log.h"
#include "wheel/wheel_parameter.h"

namespace {

constexpr char kNoValue[] = "NA";

int32_t Magnitude(int32_t v) {
  // Return values carry at most 30 bits, but a negation must not overflow
  // whatever comes in.
  const uint32_t m = v < 0 ? 0u - static_cast<uint32_t>(v) : static_cast<uint32_t>(v);
  return m > 0x7FFFFFFFu ? 0x7FFFFFFF : static_cast<int32_t>(m);
}

}  // namespace

DriveLink::DriveLink(WheelParameter& torqueBandwidth, WheelParameter& window, DriveView& view, LinkClock& clock)
    : torqueBandwidth_(torqueBandwidth), window_(window), view_(view), clock_(clock) {}

DriveLink::~DriveLink() { Close(); }

void DriveLink::Close() {
  if (bus_ >= 0) SmCloseBus(bus_);
  bus_ = -1;
  retrying_ = false;
  failures_ = 0;
}

void DriveLink::ConfigureDrive(uint8_t port) {
  if (!on_) return;
  Configure(port, false);
}

bool DriveLink::ChoosePort(uint8_t port) {
  if (!on_ || port == port_) return false;
  Configure(port, false);
  return true;
}

bool DriveLink::Configure(uint8_t port, bool quiet) {
  if (port != port_) {
    answered_ = false;
    retryIntervalMs_ = kDriveRetryIntervalMs;
  }
  port_ = port;
  failures_ = 0;
  // Whatever happens below, a chosen port is tried again later when no link
  // comes of it now.
  retrying_ = port != 0;
  nextTryMs_ = NowMs() + retryIntervalMs_;
  if (!answered_) retryIntervalMs_ = std::min(retryIntervalMs_ * 2, kDriveRetryMaxIntervalMs);

  SetSmPortReadTimeout(kDriveReadTimeoutMs);
  if (!quiet) LogPrintf(0, "Opening RS485 port");
  if (bus_ >= 0) {
    SmCloseBus(bus_);
    bus_ = -1;
  }
  char name[8];
  std::snprintf(name, sizeof name, "COM%d", port);
  bus_ = SmOpenBus(name);
  if (bus_ < 0) {
    if (!quiet) LogPrintf(0, "Error opening RS485 port");
    return false;
  }
  if (!quiet) LogPrintf(0, "RS485 port open");

  int32_t version = 0;
  const SmStatus status = SmGetParameter(bus_, kDriveNode, kDriveVersion, &version);
  if (status != kSmOk) {
    if (!quiet) {
      char text[kSmStatusTextSize];
      LogPrintf(0, "%s", SmStatusText("Error reading version", status, text, sizeof text));
    }
    SmCloseBus(bus_);
    bus_ = -1;
    return false;
  }

  // Only a value the drive really sent, and one the slider can show, replaces
  // the setting; a failed read keeps what the user had.
  int32_t bandwidth = 0;
  if (SmGetParameter(bus_, kDriveNode, kDriveTorqueBandwidth, &bandwidth) == kSmOk &&
      bandwidth >= torqueBandwidth_.minimum && bandwidth <= torqueBandwidth_.maximum) {
    torqueBandwidth_.value = bandwidth;
    view_.ShowTorqueBandwidth(torqueBandwidth_);
  }
  retrying_ = false;
  answered_ = true;
  retryIntervalMs_ = kDriveRetryIntervalMs;
  LogPrintf(0, "Drive successfully Configured. Version : 0x%x", static_cast<unsigned>(version));
  return true;
}

void DriveLink::ShowNoLink() {
  view_.ShowCurrents(kNoValue, kNoValue);
  view_.EnableDriveControls(false);
}

void DriveLink::NoteExchange(const char* operation, SmStatus status) {
  if (status == kSmOk) {
    failures_ = 0;
    return;
  }
  if (++failures_ < kDriveFailuresBeforeClose) return;
  LogPrintf(0, "%s: the drive does not answer (%d exchanges failed), link closed", operation, failures_);
  SmCloseBus(bus_);
  bus_ = -1;
  failures_ = 0;
  retrying_ = port_ != 0;
  nextTryMs_ = NowMs() + kDriveRetryIntervalMs;
  ShowNoLink();
}

void DriveLink::UpdateDriveCurrent() {
  if (!on_) return;
  if (bus_ < 0) {
    const bool due = retrying_ && NowMs() >= nextTryMs_;
    if (due && Configure(port_, true)) {
      // The drive is back. Its first sample comes with the next readout, so
      // this call makes no more than the one exchange a silent drive costs.
      view_.EnableDriveControls(true);
    } else {
      ShowNoLink();
    }
    return;
  }
  view_.EnableDriveControls(true);

  int32_t raw = 0;
  const SmStatus status = SmGetParameter(bus_, kDriveNode, kDriveCurrent, &raw);
  NoteExchange("UpdateDriveCurrent", status);
  if (bus_ < 0) return;  // that was the last failure: the strip shows "NA"
  samples_[ringPosition_] = status == kSmOk ? raw : 0;

  int32_t count = window_.value;
  if (count < 1) count = 1;
  if (count > kCurrentSampleCount) count = kCurrentSampleCount;
  float sum = 0.0f;
  uint32_t index = ringPosition_;
  for (int32_t i = 0; i < count; ++i) {
    const int32_t magnitude = Magnitude(samples_[index]);
    sum += static_cast<float>(magnitude);
    if (magnitude > maximum_) maximum_ = magnitude;
    index = index == 0 ? kCurrentSampleCount - 1 : index - 1;
  }
  const float average = sum / static_cast<float>(count);
  ringPosition_ = (ringPosition_ + 1) % kCurrentSampleCount;

  char averageText[32];
  char maximumText[32];
  std::snprintf(averageText, sizeof averageText, "%1.1f A", static_cast<double>(average * kAmpsPerCurrentUnit));
  std::snprintf(maximumText, sizeof maximumText, "%1.1f A",
                static_cast<double>(static_cast<float>(maximum_) * kAmpsPerCurrentUnit));
  view_.ShowCurrents(averageText, maximumText);
}

SmStatus DriveLink::Write(const char* operation, uint16_t address, int32_t value) {
  if (!on_ || bus_ < 0) return kSmCommError;
  const SmStatus status = SmSetParameter(bus_, kDriveNode, address, value);
  NoteExchange(operation, status);
  return status;
}

void DriveLink::RestartDrive() { Write("RestartDrive", kDriveControl, kDriveRestartValue); }

void DriveLink::ClearFaults() { Write("ClearFaults", kDriveFaults, kDriveClearFaultsValue); }

void DriveLink::SendTorqueBandwidth() {
  Write("SendTorqueBandwidth", kDriveTorqueBandwidth, torqueBandwidth_.value);
}

SmStatus DriveLink::WriteDriveParameter(uint16_t address, int32_t value) {
  return Write("WriteDriveParameter", address, value);
}
