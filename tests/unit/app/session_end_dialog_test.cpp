// Windows ends the session while "Advanced Settings" is open: the exit's
// saves count the dialog as cancelled, so the profile never carries an
// encoder "Invert" the user did not confirm.
#include <gtest/gtest.h>

#include "app/advanced_page.h"
#include "drive/advanced_settings.h"
#include "drive/advanced_settings_ids.h"
#include "profiles_fixture.h"

namespace {

using profilestest::ProfilesTest;

ControlPanel* gPanel = nullptr;

void TickInvertThenSessionEnds(AdvancedSettings& settings, DialogControls&) {
  FakeDialog dialog;
  settings.Init(dialog);
  dialog.SetCheck(IDC_ENCODER_INVERT, true);
  settings.Command(dialog, IDC_ENCODER_INVERT, 0);
  gPanel->SaveForExit();  // WM_ENDSESSION; the process ends with the dialog open
}

TEST_F(ProfilesTest, ADialogOpenAtSessionEndCountsAsCancelled) {
  Connect();
  Make({"Default"});
  gPanel = &panel;
  SetAdvancedSettingsRunner(TickInvertThenSessionEnds);
  OpenAdvancedSettings(panel, page);
  SetAdvancedSettingsRunner(nullptr);
  EXPECT_EQ(panel.profiles.CurrentProfile()->optionFlags & kEncoderInvertFlag, 0);
  EXPECT_EQ(panel.link[kEntryFlags].value & kEncoderInvertFlag, 0);
  EXPECT_EQ(panel.openAdvancedSettings, nullptr);
}

}  // namespace
