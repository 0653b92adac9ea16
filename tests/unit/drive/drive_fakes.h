#pragma once
// Test doubles for the drive link: a stepped clock, and an RS485 device under
// the port slots that lives on that clock (optionally wired to the stand-in
// drive model). Protocol tests run on them without sleeping; a read with
// nothing coming costs its read time-out of clock time, so the clock says
// how long the window would have waited.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "drive/drive_link.h"
#include "drive/simple_motion.h"
#include "drive/sm_port.h"
#include "standin_drive/standin_drive.h"
#include "exec/deadline.h"
#include "test_support.h"
#include "wheel/wheel_parameter.h"

using Bytes = std::vector<uint8_t>;

class FakeSmDevice : public SmPortDevice {
 public:
  explicit FakeSmDevice(FakeClock& clock) : clock_(clock) {}

  StandinDrive* drive = nullptr;    // answers what is written, when set
  bool echo = false;                // an adapter that hears its own bytes, before any reply
  SmOpenResult openResult = SmOpenResult::kOpened;
  int32_t writeResult = -2;         // -2: the whole count; otherwise what Write reports
  uint64_t replyDelayUs = 300;      // from the write to the reply's first byte
  uint64_t byteUs = 22;             // one byte at 460800 baud
  int calls = 0;                    // every device operation
  std::vector<std::string> openNames;
  std::vector<uint16_t> openTimeouts;
  std::vector<uint64_t> openTimesUs;
  std::vector<uint16_t> readTimeouts;  // per read, as handed down by the slot
  std::vector<Bytes> writes;
  int closes = 0;
  int openHandles = 0;

  void Inject(const Bytes& bytes, uint64_t atUs) {
    uint64_t t = atUs;
    if (!input_.empty()) t = std::max(t, input_.back().first + byteUs);
    for (uint8_t b : bytes) {
      input_.push_back({t, b});
      t += byteUs;
    }
  }
  void InjectNow(const Bytes& bytes) { Inject(bytes, clock_.now); }
  size_t Pending() const { return input_.size(); }
  Bytes LastWrite() const { return writes.empty() ? Bytes() : writes.back(); }

  SmOpenResult Open(const char* name, uint16_t readTimeoutMs, intptr_t* handle) override {
    ++calls;
    openNames.push_back(name);
    openTimeouts.push_back(readTimeoutMs);
    openTimesUs.push_back(clock_.now);
    if (openResult != SmOpenResult::kOpened) return openResult;
    *handle = 100 + openHandles++;
    return SmOpenResult::kOpened;
  }
  int32_t Write(intptr_t, const uint8_t* data, int32_t count) override {
    ++calls;
    writes.emplace_back(data, data + count);
    if (echo) Inject(Bytes(data, data + count), clock_.now);
    if (drive != nullptr) {
      Bytes reply;
      drive->Receive(data, static_cast<size_t>(count), &reply);
      if (!reply.empty()) Inject(reply, clock_.now + replyDelayUs);
    }
    return writeResult == -2 ? count : writeResult;
  }
  bool ReadByte(intptr_t, uint16_t readTimeoutMs, uint8_t* byte) override {
    ++calls;
    readTimeouts.push_back(readTimeoutMs);
    const uint64_t end = clock_.now + uint64_t{readTimeoutMs} * 1000u;
    if (!input_.empty() && input_.front().first <= end) {
      clock_.now = std::max(clock_.now, input_.front().first);
      *byte = input_.front().second;
      input_.pop_front();
      return true;
    }
    clock_.now = end;
    return false;
  }
  void DiscardInput(intptr_t) override {
    ++calls;
    while (!input_.empty() && input_.front().first <= clock_.now) input_.pop_front();
  }
  void Close(intptr_t) override {
    ++calls;
    ++closes;
  }

 private:
  FakeClock& clock_;
  std::deque<std::pair<uint64_t, uint8_t>> input_;
};

// What the drive link shows.
class RecordingDriveView : public DriveView {
 public:
  std::string average, maximum;
  bool enabled = false;
  int shows = 0;
  int enables = 0;
  void ShowCurrents(const char* a, const char* m) override {
    average = a;
    maximum = m;
    ++shows;
  }
  void EnableDriveControls(bool on) override {
    enabled = on;
    ++enables;
  }
  int32_t bandwidthShown = -1;
  void ShowTorqueBandwidth(const WheelParameter& entry) override { bandwidthShown = entry.value; }
};

// Puts the fake under the port slots and the bus layer on its clock; every
// bus and slot left open is closed afterwards, so tests do not leak handles
// into each other.
class DriveFixture : public ::testing::Test {
 protected:
  void SetUp() override {
    SetSmPortDevice(&device);
    SetSimpleMotionClock(&clock);
    SetSmPortReadTimeout(200);  // the drive port's
  }
  void TearDown() override {
    for (int32_t h = 0; h < kSmBusCount; ++h) SmCloseBus(h);
    for (int8_t slot = 0; slot < kSmPortSlots; ++slot) SmPortClose(slot);
    SetSmPortDevice(nullptr);
    SetSimpleMotionClock(nullptr);
    SetSmPortReadTimeout(kSmDefaultReadTimeoutMs);
  }
  // A bus on the fake, wired to the stand-in drive model.
  int32_t OpenWired() {
    device.drive = &drive;
    const int32_t handle = SmOpenBus("COM5");
    EXPECT_GE(handle, 0);
    return handle;
  }

  FakeClock clock;
  FakeSmDevice device{clock};
  StandinDrive drive;
};
