// Controllers that fail and come back: one whose activation failed at start
// is activated by picking it again in list 1042, and an unplugged one is
// taken for lost input whatever its acquire answers.
#include <gtest/gtest.h>

#include <unistd.h>

#include "app/control_panel.h"
#include "app/main_page_ids.h"
#include "app/pages.h"
#include "app/strip_ids.h"
#include "exec_env.h"
#include "fake_dialog.h"
#include "input_fakes.h"
#include "wheel_fakes.h"
#include "wheel/serial_port_paths_posix.h"

namespace {

class InputComeback : public ExecEnv {
 protected:
  void SetUp() override {
    ExecEnv::SetUp();
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    ASSERT_TRUE(Start(0, 0, 0));
    SetSerialPortDirectory(dir_.c_str());  // no port of this machine is listed
    panel.input.backend = &backend;
    panel.input.clock = &clock;
    panel.link.wheelPort = 0;
  }
  void TearDown() override {
    panel.input.Shutdown();
    SetSerialPortDirectory(nullptr);
    panel.profiles.FreeProfiles();
    ExecEnv::TearDown();
  }

  FakeClock clock;
  FakeGamingBackend backend;
  ControlPanel panel;
  FakeDialog page;
  FakeDialog strip;
};

TEST_F(InputComeback, AControllerThatFailedAtStartIsActivatedWhenPickedAgain) {
  FakeController& wheel = backend.Add(1, "Kestra Wheel");
  wheel.failObjects = true;  // held elsewhere while the program starts
  panel.input.table.usedDevice = TestGuid(1);
  ASSERT_EQ(panel.input.InitGamingInput(nullptr), kInputOk);
  SetUpMainPage(panel, page);
  SetUpStrip(panel, strip);
  EXPECT_EQ(panel.input.ActiveIndex(), -1);
  EXPECT_FALSE(strip.IsItemEnabled(IDC_X_AXIS));

  wheel.failObjects = false;
  page.Pick(IDC_GAMING_DEVICE, 0);
  PageCommand(panel, page, IDC_GAMING_DEVICE, kListSelectionChanged);
  EXPECT_EQ(panel.input.ActiveIndex(), 0);
  EXPECT_TRUE(strip.IsItemEnabled(IDC_X_AXIS)) << "the axes are the user's again";
}

TEST_F(InputComeback, AnyAcquireFailureOfAnUnpluggedControllerIsLostInput) {
  const int32_t failures[] = {kInputLost, static_cast<int32_t>(0x80040209u) /* DIERR_UNPLUGGED */,
                              kInputNotAcquired, static_cast<int32_t>(0x80070005u) /* DIERR_OTHERAPPHASPRIO */,
                              kInputFailed};
  FakeController& wheel = backend.Add(1, "Kestra Wheel");
  ASSERT_EQ(panel.input.InitGamingInput(nullptr), kInputOk);
  panel.input.FillDeviceList();
  for (int32_t failure : failures) {
    wheel.attached = true;
    panel.input.ReadGamingInput();
    ASSERT_FALSE(panel.input.InputLost());
    wheel.attached = false;
    wheel.acquireFailure = failure;
    panel.input.ReadGamingInput();
    EXPECT_TRUE(panel.input.InputLost()) << std::hex << failure;
    wheel.attached = true;
    panel.input.ReadGamingInput();  // back: the next tick reads it
    EXPECT_FALSE(panel.input.InputLost()) << std::hex << failure;
  }
}

// With the XInput filter, a controller arriving never makes the window wait
// for WMI: the ids taken at start filter the newcomers too.
TEST_F(InputComeback, NewcomersAreFilteredWithTheIdsTakenAtStart) {
  backend.Add(1, "Kestra Wheel");
  backend.pnpIds = {"HID\\VID_045E&PID_028E&IG_00\\7&1A2B3C&0&0000"};
  panel.input.xinputFilter = true;
  ASSERT_EQ(panel.input.InitGamingInput(nullptr), kInputOk);
  backend.Add(2, "XInput Pad").product.data1 = 0x028E045Eu;
  backend.Add(3, "Late Pedals");
  panel.input.DevicesChanged();
  clock.now += kRescanDelayUs + 1;
  panel.input.RescanIfDue();
  EXPECT_EQ(backend.pnpQueries, 1) << "WMI is asked once, at start";
  ASSERT_EQ(panel.input.table.count, 2u);
  EXPECT_STREQ(panel.input.table.entries[1].productName, "Late Pedals");
}

}  // namespace
