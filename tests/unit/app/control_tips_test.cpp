// Every control that changes the wheel carries a help line, and each line
// fits on one line of the screen.
#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>

#include "app/advanced_page.h"
#include "app/control_tips.h"
#include "app/main_page_ids.h"
#include "app/strip_ids.h"
#include "drive/advanced_settings.h"
#include "page_rig.h"

namespace {

TEST(ControlTips, EachIsOneShortLineAndNoControlHasTwo) {
  std::set<std::pair<int, int>> seen;
  for (int i = 0; i < kControlTipCount; ++i) {
    const ControlTip& tip = kControlTips[i];
    const std::string text = tip.text;
    EXPECT_FALSE(text.empty()) << i;
    EXPECT_LE(text.size(), 110u) << text;
    EXPECT_EQ(text.find('\n'), std::string::npos) << text;
    EXPECT_NE(text.back(), '.') << text;
    for (int id = tip.firstId; id <= tip.lastId; ++id) {
      EXPECT_TRUE(seen.insert({static_cast<int>(tip.page), id}).second) << "twice: " << id;
    }
  }
}

class PageTips : public pagerig::PageRig {};

std::map<int, std::string> gAdvancedTips;
void LookAtTips(AdvancedSettings& settings, DialogControls&) {
  FakeDialog dialog;
  settings.Init(dialog);
  gAdvancedTips = dialog.tips;
  settings.Command(dialog, 2, 0);
}

TEST_F(PageTips, EverySettingOfEveryPageHasItsLine) {
  SetUpPages();
  // Every slider the pages bind, and the boxes and buttons that act on the wheel.
  for (int e = 0; e < kWheelEntryCount; ++e) {
    const ParameterControls& controls = panel.bindings[static_cast<WheelEntry>(e)];
    if (controls.sliderId == 0 || controls.dialog == nullptr) continue;
    const FakeDialog& dialog = controls.dialog == &page ? page : strip;
    EXPECT_EQ(dialog.tips.count(controls.sliderId), 1u) << "slider " << controls.sliderId;
  }
  for (int id : {IDC_INVERT, IDC_MANUAL, IDC_CENTER_WHEEL, IDC_CALIBRATE, IDC_DETECT_GAME}) {
    EXPECT_EQ(page.tips.count(id), 1u) << id;
  }
  for (int id : {IDC_RESTART_DRIVE, IDC_CLEAR_FAULTS, IDC_RESET_MAX}) EXPECT_EQ(strip.tips.count(id), 1u) << id;
  EXPECT_NE(page.tips[IDC_SINE_SLIDER].find("vibration"), std::string::npos);

  SetAdvancedSettingsRunner(LookAtTips);
  OpenAdvancedSettings(panel, page);
  SetAdvancedSettingsRunner(nullptr);
  for (int id = IDC_MAPPING_FIRST; id <= IDC_MAPPING_LAST; ++id) EXPECT_EQ(gAdvancedTips.count(id), 1u) << id;
  for (int id : {IDC_COMMAND_MODE, IDC_PWM_FREQUENCY, IDC_ENCODER_PPR, IDC_ENCODER_INVERT, IDC_AXIS_X,
                 IDC_EXTERNAL_GAIN_INPUT, IDC_LINEARITY_X, IDC_RESET_TO_DEFAULT}) {
    EXPECT_EQ(gAdvancedTips.count(id), 1u) << id;
  }
}

}  // namespace
