// The main page's "Advanced Settings": after "Ok" the selected profile carries
// the wheel flags the dialog wrote; after Cancel it stays as it was.
#include <gtest/gtest.h>

#include "app/advanced_page.h"
#include "drive/advanced_settings.h"
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

}  // namespace
