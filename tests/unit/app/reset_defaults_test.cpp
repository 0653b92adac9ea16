// "Reset to default": asked first; then the page and the dialog show what the
// board has now, and the selected profile keeps its values until the user
// changes something.
#include <gtest/gtest.h>

#include "app/advanced_page.h"
#include "app/main_page_ids.h"
#include "app/pages.h"
#include "drive/advanced_settings.h"
#include "profiles_fixture.h"

namespace {

using profilestest::ProfilesTest;

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

TEST_F(ProfilesTest, ResetToDefaultAsksThenEveryPageShowsTheBoardButNotTheProfile) {
  // The user's tuning: 1234 degrees, Main Gain 77, Invert, Manual, encoder turned.
  const int tuning[][2] = {{8, 1234}, {17, 77}, {34, 7}};
  for (const auto& v : tuning) board.SetParameter(v[0], v[1]);
  Connect();
  panel.link.ReadAllParameters();
  BindMainPage(panel, page);
  panel.profiles.FillProfileList();  // "Default" takes the board's values
  SetAdvancedSettingsRunner(ResetAndCancel);
  port.written.clear();
  gAnswer = kAnswerNo;
  OpenAdvancedSettings(panel, page);
  EXPECT_TRUE(port.written.empty());
  EXPECT_TRUE(gInvertAfter);

  gAnswer = kAnswerYes;
  OpenAdvancedSettings(panel, page);
  SetAdvancedSettingsRunner(nullptr);
  ASSERT_FALSE(port.written.empty());
  EXPECT_EQ(port.written[0], 'D');
  EXPECT_FALSE(gInvertAfter);
  EXPECT_EQ(page.sliders[IDC_MAX_ANGLE_SLIDER], 900);
  EXPECT_EQ(page.Text(IDC_MAIN_GAIN_VALUE), "50 %");
  EXPECT_FALSE(page.IsChecked(IDC_INVERT));
  EXPECT_FALSE(page.IsChecked(IDC_MANUAL));

  const GameProfile& profile = *panel.profiles.CurrentProfile();
  panel.SaveForExit();
  EXPECT_EQ(profile.maxAngle, 1234u);
  EXPECT_EQ(profile.optionFlags, 7);
  // A slider moved: the profile follows the page again.
  page.sliders[IDC_MAIN_GAIN_SLIDER] = 100;
  PageScroll(panel, page.Handle(IDC_MAIN_GAIN_SLIDER));
  EXPECT_EQ(profile.mainGain, 100);
  EXPECT_EQ(profile.maxAngle, 900u);
}

}  // namespace
