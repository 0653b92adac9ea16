// The main page's "Advanced Settings": after "Ok" the selected profile carries
// the wheel flags the dialog wrote, after Cancel it stays as it was; "Reset to
// default"; the page's help texts.
#include <gtest/gtest.h>

#include "app/advanced_page.h"
#include "app/control_tips.h"
#include "app/main_page_ids.h"
#include "app/pages.h"
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

// ---- "Reset to default" asks, then the page and the dialog show what the
// board has now while the selected profile keeps its values until the user
// changes something; every slider of the page has a one-line help text.

int gAnswer;
bool gInvertAfter;
void ResetAndCancel(AdvancedSettings& settings, DialogControls&) {
  FakeDialog dialog;
  settings.Init(dialog);
  dialog.answer = gAnswer;
  settings.Command(dialog, IDC_RESET_TO_DEFAULT, 0);
  gInvertAfter = dialog.IsChecked(IDC_ENCODER_INVERT);
  settings.Command(dialog, 2, 0);
}

TEST_F(ProfilesTest, ResetToDefaultAsksThenThePagesShowTheBoardButTheProfileStays) {
  // The user's tuning: 1234 degrees, Main Gain 77, Invert, Manual, encoder turned.
  const int tuning[][2] = {{8, 1234}, {17, 77}, {34, 7}};
  for (const auto& v : tuning) board.SetParameter(v[0], v[1]);
  Connect();
  panel.link.ReadAllParameters();
  BindMainPage(panel, page);
  panel.profiles.FillProfileList();  // "Default" takes the board's values
  SetAdvancedSettingsRunner(ResetAndCancel);
  for (int answer : {kAnswerNo, kAnswerYes}) {
    port.written.clear();
    gAnswer = answer;
    OpenAdvancedSettings(panel, page);
    EXPECT_EQ(port.written.empty(), answer == kAnswerNo);
    EXPECT_EQ(gInvertAfter, answer == kAnswerNo);
    EXPECT_EQ(page.sliders[IDC_MAX_ANGLE_SLIDER], answer == kAnswerNo ? 1234 : 900);
    EXPECT_EQ(page.IsChecked(IDC_MANUAL), answer == kAnswerNo);
  }
  SetAdvancedSettingsRunner(nullptr);
  EXPECT_EQ(page.Text(IDC_MAIN_GAIN_VALUE), "50 %");
  const GameProfile& profile = *panel.profiles.CurrentProfile();
  panel.SaveForExit();
  EXPECT_EQ(profile.maxAngle, 1234u);
  EXPECT_EQ(profile.optionFlags, 7);
  page.sliders[IDC_MAIN_GAIN_SLIDER] = 100;  // moved: the profile follows the page again
  PageScroll(panel, page.Handle(IDC_MAIN_GAIN_SLIDER));
  EXPECT_EQ(profile.maxAngle, 900u);
}

TEST_F(ProfilesTest, EveryBoundSliderHasOneShortHelpLine) {
  BindMainPage(panel, page);
  AddControlTips(page, TipPage::kMainPage);
  for (int e = 0; e < kWheelEntryCount; ++e) {
    const ParameterControls& controls = panel.bindings[static_cast<WheelEntry>(e)];
    if (controls.dialog != &page || controls.sliderId == 0) continue;
    EXPECT_FALSE(page.tips[controls.sliderId].empty()) << controls.sliderId;
    EXPECT_LE(page.tips[controls.sliderId].size(), 110u) << controls.sliderId;
  }
}

}  // namespace
