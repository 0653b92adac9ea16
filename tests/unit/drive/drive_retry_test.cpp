// A port where no drive ever answered is tried again less and less often (up
// to once a minute): it may hold another device that resets on each open.
#include <gtest/gtest.h>

#include <vector>

#include "drive/drive_link.h"
#include "drive_fakes.h"
#include "wheel/wheel_parameter.h"

namespace {

class NullDriveView : public DriveView {
 public:
  void ShowCurrents(const char*, const char*) override {}
  void EnableDriveControls(bool) override {}
};

class DriveRetry : public DriveFixture {
 protected:
  // Every 100 ms readout for the given clock time; the open times of the tries.
  std::vector<uint64_t> RunFor(uint64_t us) {
    const size_t before = device.openTimesUs.size();
    for (const uint64_t end = clock.now + us; clock.now < end;) {
      clock.now += 100000;
      link.UpdateDriveCurrent();
    }
    return std::vector<uint64_t>(device.openTimesUs.begin() + before, device.openTimesUs.end());
  }

  WheelParameterTable wheel;
  NullDriveView view;
  DriveLink link{wheel[kEntryTorqueBandwidth], wheel[kEntryStatisticsWindow], view, clock};
};

TEST_F(DriveRetry, APortThatNeverAnsweredWaitsLongerEachTimeUpToAMinute) {
  link.SwitchOn();
  link.ConfigureDrive(5);  // nothing on the bus
  const std::vector<uint64_t> tries = RunFor(400000000);
  ASSERT_GE(tries.size(), 8u);
  const uint64_t expected[] = {3, 6, 12, 24, 48, 60, 60};
  uint64_t last = device.openTimesUs.front();
  for (size_t i = 0; i < tries.size(); ++i) {
    const uint64_t gap = tries[i] - last;
    const uint64_t want = (i < 7 ? expected[i] : 60) * 1000000u;
    EXPECT_GE(gap, want) << "try " << i + 1;
    EXPECT_LE(gap, want + 500000u) << "try " << i + 1;
    last = tries[i];
  }

  // A drive that answers once and is lost is tried again every few seconds.
  device.drive = &drive;
  RunFor(61000000);
  ASSERT_TRUE(link.IsOpen());
  drive.SetSilent(true);
  const std::vector<uint64_t> lost = RunFor(30000000);
  ASSERT_GE(lost.size(), 3u);
  for (size_t i = 1; i < lost.size(); ++i) EXPECT_LE(lost[i] - lost[i - 1], 3500000u);
}

}  // namespace
