// The strip's "Torque BW :" shows what the drive answered as soon as it
// answers, not only when the strip is set up again.
#include <gtest/gtest.h>

#include "app/control_panel.h"
#include "app/strip_ids.h"
#include "drive_fakes.h"
#include "fake_dialog.h"
#include "wheel_fakes.h"

namespace {

class StripBandwidth : public DriveFixture, public WheelRig {
 protected:
  void SetUp() override {
    DriveFixture::SetUp();
    device.drive = &drive;
    // The strip as set up before any drive answered: the saved index 0.
    panel.stripView.strip = &strip;
    BindParameter(panel.link[kEntryTorqueBandwidth], panel.bindings[kEntryTorqueBandwidth], &strip,
                  IDC_TORQUE_BW_SLIDER, IDC_TORQUE_BW_VALUE, kNotABoardParameter, kSizeIndex1, 0, 11, 1,
                  kShowBandwidth, '%');
    panel.drive.SwitchOn();
  }
  FakeDialog strip;
};

TEST_F(StripBandwidth, ADriveFoundLaterShowsItsBandwidthAtOnce) {
  ASSERT_EQ(strip.Text(IDC_TORQUE_BW_VALUE), "100 Hz");
  const struct {
    int32_t drive;
    const char* text;
    int32_t position;
  } cases[] = {{6, "1000 Hz", 6}, {11, "Unlimited", 11}, {57, "Unlimited", 11}};  // 57: not an index, kept
  for (const auto& c : cases) {
    drive.SetParameter(490, c.drive);
    panel.drive.ConfigureDrive(5);
    ASSERT_TRUE(panel.drive.IsOpen());
    EXPECT_EQ(strip.Text(IDC_TORQUE_BW_VALUE), c.text) << c.drive;
    EXPECT_EQ(strip.sliders[IDC_TORQUE_BW_SLIDER], c.position) << c.drive;
  }
}

}  // namespace
