// The main page's "Advanced Settings": after "Ok" the selected profile carries
// the wheel flags the dialog wrote; after Cancel it stays as it was.
#include <gtest/gtest.h>

#include "app/advanced_page.h"
#include "drive/advanced_settings.h"
#include "drive/advanced_settings_ids.h"
#include "drive/game_controller.h"
#include "input_fakes.h"
#include "profiles_fixture.h"

namespace {

using profilestest::ProfilesTest;

bool gConfirm;

// The user ticks "Invert" and leaves with "Ok" or "Cancel".
void TickInvert(AdvancedSettings& settings, DialogControls&) {
  FakeDialog dialog;
  settings.Init(dialog);
  dialog.SetCheck(IDC_ENCODER_INVERT, true);
  settings.Command(dialog, IDC_ENCODER_INVERT, 0);
  settings.Command(dialog, gConfirm ? 1 : 2, 0);
}

TEST_F(ProfilesTest, OkStoresTheWheelFlagsIntoTheSelectedProfile) {
  Connect();
  Make({"Default", "Race"});
  SetAdvancedSettingsRunner(TickInvert);
  for (bool confirm : {false, true}) {
    gConfirm = confirm;
    OpenAdvancedSettings(panel, page);
    EXPECT_EQ(panel.profiles.CurrentProfile()->optionFlags & kEncoderInvertFlag, confirm ? kEncoderInvertFlag : 0)
        << (confirm ? "Ok" : "Cancel");
    EXPECT_EQ(panel.link[kEntryFlags].value & kEncoderInvertFlag, confirm ? kEncoderInvertFlag : 0);
  }
  SetAdvancedSettingsRunner(nullptr);
}

// What the dialog saw of the game controller: its Linearity buttons (X .. Rz)
// and, read through it, the X axis value.
std::string gButtons;
int32_t gAxisX;

void LookAtTheController(AdvancedSettings& settings, DialogControls&) {
  FakeDialog dialog;
  settings.Init(dialog);
  gButtons.clear();
  for (int id = IDC_LINEARITY_X; id <= IDC_LINEARITY_RZ; ++id) {
    gButtons += dialog.enabled.count(id) && !dialog.enabled.at(id) ? '0' : '1';
  }
  settings.controller.ReadInput();
  gAxisX = settings.controller.AxisValue(kAxisX);
  settings.Command(dialog, 2, 0);
}

// The Advanced Settings see the active controller: its axes switch their
// Linearity buttons on (never Ry and Rz), and its values reach the editor.
TEST_F(ProfilesTest, TheAdvancedSettingsSeeTheActiveController) {
  Connect();
  Make({"Default"});
  FakeGamingBackend backend;
  FakeController& wheel = backend.Add(1, "Kestra Wheel", WheelObjects(3));  // X, Y, Z
  wheel.state.axes[kAxisX] = 40000;
  panel.input.backend = &backend;
  ASSERT_EQ(panel.input.InitGamingInput(nullptr), kInputOk);
  panel.input.FillDeviceList();  // the main page activates it
  SetAdvancedSettingsRunner(LookAtTheController);
  OpenAdvancedSettings(panel, page);
  EXPECT_EQ(gButtons, "111000");
  EXPECT_EQ(gAxisX, 40000);

  panel.input.Shutdown();  // no controller: every button off
  OpenAdvancedSettings(panel, page);
  EXPECT_EQ(gButtons, "000000");
  SetAdvancedSettingsRunner(nullptr);
}

}  // namespace
