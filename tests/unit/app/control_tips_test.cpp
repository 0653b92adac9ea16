// Every slider the pages bind carries a one-line help text.
#include <gtest/gtest.h>

#include <string>

#include "app/control_tips.h"
#include "app/pages.h"
#include "profiles_fixture.h"

namespace {

using profilestest::ProfilesTest;

TEST_F(ProfilesTest, EveryBoundSliderHasOneShortHelpLine) {
  BindMainPage(panel, page);
  AddControlTips(page, TipPage::kMainPage);
  for (int e = 0; e < kWheelEntryCount; ++e) {
    const ParameterControls& controls = panel.bindings[static_cast<WheelEntry>(e)];
    if (controls.dialog != &page || controls.sliderId == 0) continue;
    const std::string tip = page.tips[controls.sliderId];
    EXPECT_FALSE(tip.empty()) << controls.sliderId;
    EXPECT_LE(tip.size(), 110u) << tip;
  }
}

}  // namespace
