// "Reset to default" seen from the whole program: asked first; then every
// page shows what the board has now (main page, strip, the dialog itself),
// and the selected profile keeps its values until the user changes something.
#include <gtest/gtest.h>

#include <string>

#include "app/advanced_page.h"
#include "app/main_page_ids.h"
#include "app/strip_ids.h"
#include "drive/advanced_settings.h"
#include "page_rig.h"

namespace {

// What the user did in the dialog and what it showed.
struct DialogVisit {
  int answer = kAnswerYes;
  std::string question;
  bool invertBefore = false, invertAfter = false;
  std::string modeAfter;
  size_t writtenAtQuestion = 0;
};
DialogVisit gVisit;
FakeChannel* gPort = nullptr;

void ResetAndCancel(AdvancedSettings& settings, DialogControls&) {
  FakeDialog dialog;
  settings.Init(dialog);
  gVisit.invertBefore = dialog.IsChecked(IDC_ENCODER_INVERT);
  dialog.answer = gVisit.answer;
  dialog.onMessage = [](const FakeDialog::Message& m) {
    gVisit.question = m.text;
    gVisit.writtenAtQuestion = gPort->written.size();
  };
  settings.Command(dialog, IDC_RESET_TO_DEFAULT, 0);
  gVisit.invertAfter = dialog.IsChecked(IDC_ENCODER_INVERT);
  const int mode = dialog.Selected(IDC_COMMAND_MODE);
  gVisit.modeAfter = mode < 0 ? "" : dialog.ComboTexts(IDC_COMMAND_MODE)[mode];
  settings.Command(dialog, 2, 0);
}

class ResetToDefault : public pagerig::PageRig {
 protected:
  void SetUp() override {
    PageRig::SetUp();
    gPort = &port;
    gVisit = DialogVisit();
    SetAdvancedSettingsRunner(ResetAndCancel);
    // The user's own tuning on the board: 1234 degrees, Main Gain 77, Spring
    // 66, "Invert", "Manual" and the encoder turned, debug level 2, PWM.
    const int values[][2] = {{8, 1234}, {17, 77}, {18, 66}, {34, 0x7}, {16, 2}, {4, -25}, {35, 0}};
    for (const auto& v : values) board.SetParameter(v[0], v[1]);
    SetUpPages();
  }
  void TearDown() override {
    SetAdvancedSettingsRunner(nullptr);
    PageRig::TearDown();
  }
  const GameProfile& Profile() { return *panel.profiles.CurrentProfile(); }
};

TEST_F(ResetToDefault, NoLeavesTheBoardAndEveryPageAsTheyAre) {
  gVisit.answer = kAnswerNo;
  port.written.clear();
  OpenAdvancedSettings(panel, page);
  EXPECT_EQ(gVisit.question, "Reset every setting of the wheel to its default?");
  EXPECT_TRUE(port.written.empty());
  EXPECT_EQ(page.sliders[IDC_MAX_ANGLE_SLIDER], 1234);
  EXPECT_TRUE(page.IsChecked(IDC_INVERT));
  EXPECT_TRUE(gVisit.invertAfter);
}

TEST_F(ResetToDefault, EveryPageShowsTheDefaultsAndTheProfileKeepsItsValues) {
  ASSERT_EQ(Profile().maxAngle, 1234u);
  port.written.clear();
  OpenAdvancedSettings(panel, page);
  EXPECT_EQ(gVisit.writtenAtQuestion, 0u) << "asked before anything is sent";
  ASSERT_FALSE(port.written.empty());
  EXPECT_EQ(port.written[0], 'D');

  // The main page: the board's defaults (900 degrees, Main Gain 64, Spring 50,
  // no flags).
  EXPECT_EQ(page.sliders[IDC_MAX_ANGLE_SLIDER], 900);
  EXPECT_EQ(page.Text(IDC_MAX_ANGLE_VALUE), "900 \xB0");
  EXPECT_EQ(page.Text(IDC_MAIN_GAIN_VALUE), "50 %");
  EXPECT_EQ(page.sliders[IDC_GAME_SPRING_SLIDER], 50);
  EXPECT_FALSE(page.IsChecked(IDC_INVERT));
  EXPECT_FALSE(page.IsChecked(IDC_MANUAL));
  // The strip, and the dialog itself.
  EXPECT_EQ(strip.Selected(IDC_DEBUG_LEVEL), 0);
  EXPECT_EQ(strip.Text(IDC_OFFSET), "0");
  EXPECT_TRUE(gVisit.invertBefore);
  EXPECT_FALSE(gVisit.invertAfter);
  EXPECT_EQ(gVisit.modeAfter, "PWM+Dir");
  // Cancel after the reset keeps what the board has.
  EXPECT_EQ(panel.link[kEntryFlags].value, 0);
  EXPECT_EQ(panel.link[kEntryCommandMode].value, kCommandPwmDir);

  // The profile is not the board: it keeps its values, at exit too.
  panel.SaveForExit();
  EXPECT_EQ(Profile().maxAngle, 1234u);
  EXPECT_EQ(Profile().mainGain, 77);
  EXPECT_EQ(Profile().optionFlags, 0x7);

  // Until the user moves something: then it follows the page.
  page.sliders[IDC_MAIN_GAIN_SLIDER] = 100;
  PageScroll(panel, page.Handle(IDC_MAIN_GAIN_SLIDER));
  EXPECT_EQ(Profile().mainGain, 100);
  EXPECT_EQ(Profile().maxAngle, 900u);
  EXPECT_EQ(Profile().optionFlags, 0);
}

}  // namespace
