// The "Advanced Settings" dialog's logic on the recording dialog, with the
// wheel link on the stand-in board model and the drive link on the stand-in
// drive model, both on stepped clocks.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "drive/advanced_settings.h"
#include "drive/game_controller.h"
#include "drive_fakes.h"
#include "fake_dialog.h"
#include "wheel_fakes.h"

namespace {

class FakeController : public GameControllerAxes {
 public:
  uint32_t mask = 0x0F;
  int32_t axes[kGameAxisCount] = {};
  int reads = 0;
  uint32_t ObjectMask() override { return mask; }
  void ReadInput() override { ++reads; }
  int32_t AxisValue(int axis) override { return axes[axis]; }
};

class AdvancedSettingsTest : public DriveFixture, public WheelRig {
 protected:
  void SetUp() override {
    DriveFixture::SetUp();
    drive.SetNote([this](char d, const uint8_t*, size_t, const std::string& text) {
      if (d == '<') driveSaw.push_back(text);
    });
    Connect();
    link.ReadAllParameters();
    port.written.clear();
  }
  void DriveOpen() {
    device.drive = &drive;
    driveLink.SwitchOn();
    driveLink.ConfigureDrive(5);
    ASSERT_TRUE(driveLink.IsOpen());
    driveSaw.clear();
  }
  void Open() {
    settings.Init(dialog);
    port.written.clear();
  }
  void Pick(int id, const std::string& text) {
    const std::vector<std::string> texts = dialog.ComboTexts(id);
    for (size_t i = 0; i < texts.size(); ++i) {
      if (texts[i] == text) {
        dialog.Pick(id, static_cast<int>(i));
        settings.Command(dialog, id, kListSelectionChanged);
        return;
      }
    }
    ADD_FAILURE() << "no " << text << " in list " << id;
  }
  std::string Selected(int id) {
    const int i = dialog.Selected(id);
    return i < 0 ? std::string("(none)") : dialog.ComboTexts(id)[i];
  }
  bool Offers(int id, const std::string& text) {
    for (const std::string& t : dialog.ComboTexts(id)) {
      if (t == text) return true;
    }
    return false;
  }

  FakeController controller;
  RecordingDriveView driveView;
  DriveLink driveLink{link[kEntryTorqueBandwidth], link[kEntryStatisticsWindow], driveView};
  AdvancedSettings settings{link, driveLink, controller};
  FakeDialog dialog;
  std::vector<std::string> driveSaw;  // what the stand-in drive was sent, one line per packet
};

TEST_F(AdvancedSettingsTest, OpeningShowsTheBoardsSettings) {
  board.SetParameter(12, 4096);
  board.SetParameter(79, 2);
  board.SetParameter(73, 24);  // Y on A6
  board.SetParameter(25, 20);  // external gain on A2
  board.SetParameter(34, 4);   // encoder inverted
  link.ReadAllParameters();
  controller.mask = 0x3B;  // X, Y, Rx, Ry, Rz: no Z
  Open();

  EXPECT_EQ(Selected(IDC_COMMAND_MODE), "PWM+Dir");
  EXPECT_EQ(Selected(IDC_PWM_FREQUENCY), "20 KHz");
  EXPECT_EQ(dialog.Text(IDC_ENCODER_PPR), "1024");
  EXPECT_TRUE(dialog.IsChecked(IDC_ENCODER_INVERT));
  EXPECT_EQ(dialog.ComboTexts(IDC_AXIS_X)[1], "Enc(0-1)");
  EXPECT_EQ(dialog.ComboTexts(IDC_AXIS_Z)[1], "LC(5-7)");
  EXPECT_EQ(Selected(IDC_AXIS_Y), "A6");
  EXPECT_EQ(Selected(IDC_EXTERNAL_GAIN_INPUT), "A2");
  EXPECT_EQ(Selected(IDC_AXIS_Z), "None");
  EXPECT_TRUE(dialog.ComboTexts(IDC_AXIS_RY).empty());
  // The stand-in board's buttons 1..8 sit on D0..D7.
  EXPECT_EQ(Selected(IDC_MAPPING_FIRST), "D0");
  EXPECT_EQ(Selected(IDC_MAPPING_FIRST + 7), "D7");
  EXPECT_EQ(Selected(IDC_SEND_SYNC), "None");
  EXPECT_FALSE(Offers(IDC_SEND_SYNC, "D4"));
  EXPECT_FALSE(Offers(IDC_SEND_SYNC, "A2"));

  // Axis list, label and "Linearity" by the controller's axes; Ry and Rz have
  // neither an input setting nor a linearity on the board.
  const struct {
    int axis;
    bool list, linearity;
  } enabled[] = {{0, true, true}, {1, true, true}, {2, false, false}, {3, true, true}, {4, false, false}, {5, false, false}};
  for (const auto& e : enabled) {
    EXPECT_EQ(dialog.IsItemEnabled(IDC_AXIS_X + e.axis), e.list) << e.axis;
    EXPECT_EQ(dialog.IsItemEnabled(IDC_AXIS_X_LABEL + e.axis), e.list) << e.axis;
    EXPECT_EQ(dialog.IsItemEnabled(IDC_LINEARITY_X + e.axis), e.linearity) << e.axis;
  }
  EXPECT_TRUE(port.written.empty()) << "opening writes nothing";
}

TEST_F(AdvancedSettingsTest, PinsAxesAndExternalGainAreWrittenAtOnce) {
  Open();
  Pick(IDC_MAPPING_FIRST + 9, "D9");  // button 10
  EXPECT_EQ(port.written, (Bytes{'P', 45, 1, 9}));
  EXPECT_EQ(board.Parameter(45), 9);
  EXPECT_EQ(Selected(IDC_MAPPING_FIRST + 9), "D9");
  EXPECT_FALSE(Offers(IDC_MAPPING_FIRST + 10, "D9"));

  port.written.clear();
  Pick(IDC_AXIS_X, "Enc(0-1)");
  Pick(IDC_EXTERNAL_GAIN_INPUT, "A3");
  Pick(IDC_STATUS_LED, "A5 (2)");
  EXPECT_EQ(port.written, (Bytes{'P', 72, 1, 0xF0, 'P', 25, 1, 21, 'P', 68, 1, 0x95}));
  // The lists follow every one of them at once.
  EXPECT_FALSE(Offers(IDC_SEND_SYNC, "D6"));
  EXPECT_FALSE(Offers(IDC_SEND_SYNC, "A3"));
  EXPECT_FALSE(Offers(IDC_SEND_SYNC, "A5 (2)"));
  EXPECT_TRUE(Offers(IDC_SEND_SYNC, "A5 (3)"));
  EXPECT_FALSE(Offers(IDC_SEND_SYNC, "A5"));

  // Ry and Rz lists have nothing behind them.
  port.written.clear();
  settings.Command(dialog, IDC_AXIS_RY, kListSelectionChanged);
  EXPECT_TRUE(port.written.empty());
}

TEST_F(AdvancedSettingsTest, ListsUpdatedInPlaceMatchListsFilledFromScratch) {
  Open();
  std::mt19937 random(5);
  for (int step = 0; step < 300; ++step) {
    const int kind = static_cast<int>(random() % 10);
    int id = IDC_MAPPING_FIRST + static_cast<int>(random() % kMappingListCount);
    if (kind == 0) id = IDC_AXIS_X + static_cast<int>(random() % 4);
    if (kind == 1) id = IDC_COMMAND_MODE;
    if (kind == 2) id = IDC_EXTERNAL_GAIN_INPUT;
    const int count = dialog.ComboCount(id);
    dialog.Pick(id, static_cast<int>(random() % count));
    settings.Command(dialog, id, kListSelectionChanged);

    FakeDialog fresh;
    AdvancedSettings again(link, driveLink, controller);
    again.Init(fresh);
    for (int list = IDC_MAPPING_FIRST; list <= IDC_MAPPING_LAST; ++list) {
      ASSERT_EQ(dialog.ComboTexts(list), fresh.ComboTexts(list)) << "step " << step << ", list " << list;
      ASSERT_EQ(dialog.Selected(list), fresh.Selected(list)) << "step " << step << ", list " << list;
    }
  }
  EXPECT_GT(dialog.comboEdits, 0);
}

TEST_F(AdvancedSettingsTest, CommandModeChangesTheListsBeforeOkAndCancelTakesItBack) {
  Open();
  Pick(IDC_COMMAND_MODE, "VNH5019");
  for (const char* pin : {"D8", "D9", "D10", "D12", "A0", "A1", "A0 (1)", "A6 (3)", "A11 (4)"}) {
    EXPECT_FALSE(Offers(IDC_SEND_SYNC, pin)) << pin;
  }
  // Button 3 keeps showing D2, which the board still has for it.
  EXPECT_EQ(Selected(IDC_MAPPING_FIRST + 2), "D2");
  settings.Command(dialog, IDC_ENCODER_INVERT, 0);  // unchecked: stays clear
  dialog.SetCheck(IDC_ENCODER_INVERT, true);
  settings.Command(dialog, IDC_ENCODER_INVERT, 0);
  EXPECT_EQ(link[kEntryFlags].value & kEncoderInvertFlag, kEncoderInvertFlag);
  EXPECT_TRUE(port.written.empty());

  settings.Command(dialog, 2, 0);  // Cancel
  EXPECT_TRUE(port.written.empty());
  EXPECT_EQ(dialog.endResults, (std::vector<int>{0}));
  EXPECT_EQ(link[kEntryCommandMode].value, kCommandPwmDir);
  EXPECT_EQ(link[kEntryFlags].value & kEncoderInvertFlag, 0);
}

TEST_F(AdvancedSettingsTest, OkWritesTheMotorSettingsThenTheDrive) {
  DriveOpen();
  Open();
  Pick(IDC_COMMAND_MODE, "PWM +/-");
  Pick(IDC_PWM_FREQUENCY, "8 KHz");
  dialog.SetItemText(IDC_ENCODER_PPR, "1024");
  dialog.SetCheck(IDC_ENCODER_INVERT, true);
  settings.Command(dialog, IDC_ENCODER_INVERT, 0);
  const uint64_t sleptBefore = WheelRig::clock.sleptMs;
  settings.Command(dialog, 1, 0);

  EXPECT_EQ(port.written, (Bytes{'P', 35, 1, 2, 'P', 79, 1, 1, 'P', 12, 4, 0x00, 0x00, 0x10, 0x00, 'P', 34, 1, 4}));
  EXPECT_EQ(WheelRig::clock.sleptMs - sleptBefore, 4u * 20u) << "20 ms after each write";
  EXPECT_EQ(board.Parameter(12), 4096);
  EXPECT_EQ(link[kEntryEncoder].value, 4096);
  ASSERT_EQ(driveSaw.size(), 2u);
  EXPECT_NE(driveSaw[0].find("565 := 1024"), std::string::npos) << driveSaw[0];
  EXPECT_NE(driveSaw[1].find("554 := 1"), std::string::npos) << driveSaw[1];
  EXPECT_EQ(drive.Parameter(565), 1024);
  EXPECT_EQ(dialog.endResults, (std::vector<int>{1}));
}

TEST_F(AdvancedSettingsTest, OkWithoutADriveLinkWritesOnlyTheBoard) {
  Open();
  settings.Command(dialog, 1, 0);
  EXPECT_EQ(port.written.size(), 4u + 4u + 7u + 4u);
  EXPECT_TRUE(device.writes.empty());
  EXPECT_EQ(dialog.endResults, (std::vector<int>{1}));
}

TEST_F(AdvancedSettingsTest, AnEncoderTextItCannotTakeIsRefused) {
  DriveOpen();
  const struct {
    const char* text;
    int32_t ppr;  // 0: refused
  } cases[] = {{"1024", 1024}, {" 2500 ", 2500}, {"536870911", 536870911}, {"1", 1}, {"", 0}, {"abc", 0},
               {"0", 0},       {"-5", 0},        {"536870912", 0},         {"99999999999999999999", 0},
               {"12abc", 0},   {"1 2", 0},       {"0x400", 0},             {"+7", 0}};
  for (const auto& c : cases) {
    FakeDialog d;
    settings.Init(d);
    port.written.clear();
    driveSaw.clear();
    link[kEntryEncoder].value = 40000;
    d.SetItemText(IDC_ENCODER_PPR, c.text);
    const bool taken = settings.Confirm(d);
    EXPECT_EQ(taken, c.ppr != 0) << c.text;
    if (c.ppr != 0) {
      EXPECT_EQ(link[kEntryEncoder].value, c.ppr * 4) << c.text;
      continue;
    }
    ASSERT_EQ(d.messages.size(), 1u) << c.text;
    EXPECT_EQ(d.messages[0].text, kBadEncoderMessage);
    EXPECT_TRUE(port.written.empty()) << c.text;
    EXPECT_TRUE(driveSaw.empty()) << c.text;
    EXPECT_TRUE(d.endResults.empty()) << "the dialog stays open: " << c.text;
    EXPECT_EQ(link[kEntryEncoder].value, 40000) << c.text;
  }
}

TEST_F(AdvancedSettingsTest, ResetToDefaultReadsTheBoardBackAndShowsIt) {
  Open();
  Pick(IDC_MAPPING_FIRST + 20, "D13");
  Pick(IDC_COMMAND_MODE, "VNH5019");
  port.written.clear();
  const uint64_t sleptBefore = WheelRig::clock.sleptMs;
  dialog.answer = kAnswerYes;
  settings.Command(dialog, IDC_RESET_TO_DEFAULT, 0);
  // "D", then the whole table read back in the bulk read's order.
  Bytes expected{'D'};
  const Bytes bulk = BulkReadRequests();
  expected.insert(expected.end(), bulk.begin(), bulk.end());
  EXPECT_EQ(port.written, expected);
  EXPECT_GE(WheelRig::clock.sleptMs - sleptBefore, 400u + 69u * 5u) << "400 ms after D, 5 ms after each reply";
  EXPECT_EQ(Selected(IDC_MAPPING_FIRST + 20), "None");
  EXPECT_EQ(Selected(IDC_COMMAND_MODE), "PWM+Dir");
  EXPECT_TRUE(Offers(IDC_MAPPING_FIRST + 20, "D13"));
  // What the board now has is what Cancel keeps.
  settings.Command(dialog, 2, 0);
  EXPECT_EQ(link[kEntryCommandMode].value, kCommandPwmDir);
}

TEST_F(AdvancedSettingsTest, LinearityButtonsOpenTheEditorOfTheirAxis) {
  static std::vector<int> opened;
  opened.clear();
  settings.runLinearityEditor = [](AdvancedSettings&, DialogControls&, int axis) { opened.push_back(axis); };
  Open();
  for (int id = IDC_LINEARITY_X; id <= IDC_LINEARITY_RZ; ++id) settings.Command(dialog, id, 0);
  EXPECT_EQ(opened, (std::vector<int>{0, 1, 2, 3}));
}

TEST_F(AdvancedSettingsTest, TheStatusRefreshStaysHeldWhileTheDialogIsOpen) {
  static bool heldInside;
  settings.runDialog = [](AdvancedSettings& s, DialogControls&) { heldInside = s.link.statusHold; };
  FakeDialog page;
  for (bool before : {false, true}) {
    heldInside = false;
    link.statusHold = before;
    ShowAdvancedSettings(settings, page);
    EXPECT_TRUE(heldInside);
    EXPECT_EQ(link.statusHold, before);
  }
}

}  // namespace
