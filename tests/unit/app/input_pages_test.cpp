// The game controller on the pages: list 1042 filled and chosen from, the
// strip's "Wheel State" pairs, the tick's readout, and the choice carried in
// config.ini.
#include <gtest/gtest.h>

#include <unistd.h>

#include <string>

#include "app/control_panel.h"
#include "app/main_page_ids.h"
#include "app/options.h"
#include "app/pages.h"
#include "app/strip_ids.h"
#include "exec_env.h"
#include "fake_dialog.h"
#include "input_fakes.h"
#include "exec/com_port_paths_posix.h"

namespace {

class InputPages : public ExecEnv {
 protected:
  void SetUp() override {
    ExecEnv::SetUp();
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    ASSERT_TRUE(Start(0, 0, 0));
    SetComPortDirectory(dir_.c_str());  // no port of this machine is listed
    backend.Add(1, "Kestra Wheel");
    backend.Add(2, "Pedal Box", WheelObjects(3, 0, 0, 4));
    panel.input.backend = &backend;
    panel.link.wheelPort = 0;
  }
  void TearDown() override {
    panel.input.Shutdown();
    SetComPortDirectory(nullptr);
    panel.profiles.FreeProfiles();
    ExecEnv::TearDown();
  }

  FakeGamingBackend backend;
  ControlPanel panel;
  FakeDialog page;
  FakeDialog strip;
};

TEST_F(InputPages, TheListShowsTheControllersAndTheChoiceGoesToConfigIni) {
  panel.input.table.usedDevice = TestGuid(2);
  ASSERT_EQ(panel.input.InitGamingInput(nullptr), kInputOk);
  SetUpMainPage(panel, page);
  SetUpStrip(panel, strip);

  ASSERT_EQ(page.ComboTexts(IDC_GAMING_DEVICE), (std::vector<std::string>{"Kestra Wheel", "Pedal Box"}));
  EXPECT_EQ(page.combos[IDC_GAMING_DEVICE][1].data, 1);
  EXPECT_EQ(page.Selected(IDC_GAMING_DEVICE), 1);
  EXPECT_TRUE(strip.IsItemEnabled(IDC_Z_AXIS));
  EXPECT_TRUE(strip.IsItemEnabled(IDC_Z_AXIS_TEXT));
  EXPECT_FALSE(strip.IsItemEnabled(IDC_RX_AXIS));
  EXPECT_FALSE(strip.IsItemEnabled(IDC_POV0_TEXT)) << "the pedal box has no hat";

  page.Pick(IDC_GAMING_DEVICE, 0);
  PageCommand(panel, page, IDC_GAMING_DEVICE, kListSelectionChanged);
  EXPECT_EQ(panel.input.ActiveIndex(), 0);
  EXPECT_TRUE(strip.IsItemEnabled(IDC_POV0_TEXT));
  EXPECT_TRUE(strip.IsItemEnabled(IDC_SLIDER1));
  EXPECT_FALSE(strip.IsItemEnabled(IDC_POV1));

  // Focus and opening notify too: the same pick does not activate again.
  backend.calls.clear();
  PageCommand(panel, page, IDC_GAMING_DEVICE, kListOpening);
  EXPECT_EQ(backend.Count("EnumObjects"), 0);

  ASSERT_TRUE(panel.SaveSettings());
  ControlPanel loaded;
  loaded.LoadSettings();
  EXPECT_TRUE(loaded.input.table.usedDevice == TestGuid(1));
}

TEST_F(InputPages, TheReadoutLandsInTheStripsValueControls) {
  backend.Find(TestGuid(1))->state.axes[0] = 12345;
  ASSERT_EQ(panel.input.InitGamingInput(nullptr), kInputOk);
  SetUpMainPage(panel, page);
  SetUpStrip(panel, strip);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(panel.input.ReadGamingInput(), 0);
  EXPECT_EQ(strip.Text(IDC_X_AXIS), "12345");
  EXPECT_EQ(strip.Text(IDC_POV0), "ffffffff");
  EXPECT_EQ(strip.TextCount(IDC_X_AXIS), 1u) << "set once, then left alone";
  EXPECT_EQ(page.TextCount(IDC_X_AXIS), 0u);
}

}  // namespace
