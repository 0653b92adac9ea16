#pragma once
// Constants and texts of the wheel board link (handshake, status line).
#include <cstdint>

#include "app/page_ids.h"

constexpr uint32_t kWheelBaud = 115200;
constexpr char kProbeText[] = "orvenk?";        // 7 bytes, sent without terminator
constexpr char kProbeReply[] = "DuvarKemol";    // 10 characters
constexpr uint64_t kProbeWindowUs = 500 * 1000;  // from the moment the probe is written
constexpr uint32_t kProbeBufferSize = 128;       // collecting fails at 127 characters
constexpr uint64_t kReplyByteUs = 100 * 1000;    // per reply byte, and for the "S" answer
constexpr uint32_t kWaitNotBusyMs = 500;
// Polling loops sleep at most this long between looks at the port.
constexpr uint32_t kPollStepUs = 1000;

constexpr uint32_t kReadPauseMs = 5;       // after each parameter reply
constexpr uint32_t kWritePauseMs = 20;     // after each parameter write
constexpr uint32_t kDefaultsPauseMs = 400; // after "D"
constexpr uint32_t kCentrePauseMs = 100;   // after "c"
constexpr uint32_t kStatusPauseMs = 20;    // before a status refresh talks

// Main page controls the link writes to.
constexpr int kIdDeviceStatus = IDC_DEVICE_STATUS;
constexpr int kIdExternalGain = IDC_EXTERNAL_GAIN;
constexpr int kIdFirmwareVersion = IDC_FIRMWARE_VERSION;

// "Disconnected", "Connected", "Wheel Found", "Wheel Ready", "Wheel Error".
const char* LinkStateText(uint8_t state);
// The status line text for a status code (codes above 8 read as 8, "Ready").
const char* StatusCodeText(uint8_t code);
// Kind name of a "#" report: "Torque", "Create Effect", "Error".
const char* ReportKindName(uint8_t kind);
