// Flashing on the stand-in board model: the image looked at first, the
// reset, the bootloader's new port, the flasher's arguments and outcome, and
// the board's settings saved before and offered back after.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <functional>
#include <string>
#include <vector>

#include "script_fixture.h"
#include "update/board_backup.h"
#include "update/updater.h"
#include "update_fakes.h"
#include "wheel_fakes.h"

namespace scripttest {
namespace {

const char kImage[] =
    ":100000000C9434000C9451000C9451000C94510049\r\n"
    ":100010000C9451000C9451000C9451000C9451001C\r\n"
    ":00000001FF\r\n";
const char kBoardLine[] = "COM7 - Arduino Leonardo - USB\\VID_2341&PID_8036\\6&1\r\n";
const char kOtherLine[] = "COM1 - Communications Port - ACPI\\PNP0501\\0\r\n";

class FirmwareTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    rig.ArrangeFlash(&view, &processes, dir_);
    processes.play = [this](const FakeProcesses::Run& run) { return Play(run); };
  }

  FakeProcesses::Result Play(const FakeProcesses::Run& run) {
    FakeProcesses::Result r;
    if (run.program == kPortListerProgram) {
      r.started = listerStarts;
      r.output = ++listerRuns == 1 ? before : after;
    } else {
      flasherArgs = run.args;
      imageAtFlash = ReadFile(Path("wheel_1_6.hex"));
      slept = rig.clock.sleptMs;
      r.started = flasherStarts;
      r.exitCode = flasherExit;
      rig.board.RestoreDefaults();  // new firmware, settings gone
    }
    return r;
  }

  // Public: the cases of a table arrange them.
 public:
  UpdaterRig rig;
  RecordingUpdateView view;
  FakeProcesses processes;
  std::string before = std::string(kOtherLine) + kBoardLine;
  std::string after = std::string(kOtherLine) + "COM9 - Arduino Leonardo bootloader - USB\\VID_2341&PID_0036\r\n";
  bool listerStarts = true;
  bool flasherStarts = true;
  int flasherExit = 0;
  int listerRuns = 0;
  std::vector<std::string> flasherArgs;
  std::string imageAtFlash;
  uint64_t slept = 0;
};

TEST_F(FirmwareTest, AFlashFromImageToFlasher) {
  rig.Connect();
  rig.link.firmwareVersion = 0x0105;
  ASSERT_TRUE(rig.updater.FlashFirmware("wheel_1_6.hex", kImage, sizeof kImage - 1));
  EXPECT_EQ(flasherArgs, (std::vector<std::string>{"avrdude", "-CTools\\avrdude.conf", "-v", "-patmega32u4",
                                                   "-cavr109", "-PCOM9", "-b57600", "-D",
                                                   "-Uflash:w:wheel_1_6.hex:i"}));
  EXPECT_EQ(processes.runs.back().program, "Tools\\avrdude");
  EXPECT_EQ(imageAtFlash, kImage);
  EXPECT_GE(slept, 2000u) << "RESET_DELAY passes between the reset and the port list";
  EXPECT_EQ(rig.link.firmwareVersion, 0u) << "read again once the board is back";
  EXPECT_FALSE(rig.link.channel->IsOpen());
  EXPECT_TRUE(view.shown.empty());
  EXPECT_TRUE(rig.updater.RestorePending());
  EXPECT_TRUE(Exists(Path(kBoardBackupFile)));
  const std::string log = ReadFile(Path("Log.txt"));
  EXPECT_NE(log.find("avrdude :\nTools\\avrdude -CTools\\avrdude.conf -v -patmega32u4 -cavr109 -PCOM9 -b57600 "
                     "-D-Uflash:w:wheel_1_6.hex:i\n"),
            std::string::npos)
      << log;
}

TEST_F(FirmwareTest, EveryWayAFlashFails) {
  struct Case {
    const char* what;
    std::string name;
    std::string image;
    std::function<void(FirmwareTest&)> arrange;
    const char* says;  // the one message: its first line
    bool reset;    // the 1200-baud open was tried
    bool flashed;  // the flasher was started
  };
  const std::string image = kImage;
  const Case cases[] = {
      {"the flasher fails", "wheel_1_6.hex", image, [](FirmwareTest& t) { t.flasherExit = 1; },
       "Could not flash the firmware: avrdude on COM9 ended with exit code 1.", true, true},
      {"no flasher", "wheel_1_6.hex", image, [](FirmwareTest& t) { t.processes.flasherInstalled = false; },
       "Could not flash the firmware: the flasher Tools\\avrdude is missing or cannot be started.",
       false, false},
      {"no flasher configuration", "wheel_1_6.hex", image,
       [](FirmwareTest&) { std::remove("Tools/avrdude.conf"); },
       "Could not flash the firmware: Tools\\avrdude.conf is missing.", false, false},
      {"a corrupt image", "wheel_1_6.hex", image.substr(0, image.size() - 14), [](FirmwareTest&) {},
       "Could not flash the firmware: wheel_1_6.hex is not firmware for the wheel (line 2", false, false},
      {"an error page", "wheel_1_6.hex", "Not Found: /wheel_1_6.hex\r\n", [](FirmwareTest&) {},
       "is not firmware for the wheel (line 1", false, false},
      {"a name with a folder", "fw\\wheel_1_6.hex", image, [](FirmwareTest&) {},
       "Could not flash the firmware: \"fw\\wheel_1_6.hex\" is not a plain .hex file name.", false, false},
      {"no lister", "wheel_1_6.hex", image, [](FirmwareTest& t) { t.listerStarts = false; }, kPortListerMissing,
       false, false},
      {"the board's port is not listed", "wheel_1_6.hex", image, [](FirmwareTest& t) { t.before = kOtherLine; },
       "Could not flash the firmware: the wheel's port COM7 is not among the connected ports", false, false},
      {"the port does not open", "wheel_1_6.hex", image, [](FirmwareTest& t) { t.rig.port.present = false; },
       "Could not reset your board on COM7", true, false},
      {"no new port", "wheel_1_6.hex", image, [](FirmwareTest& t) { t.after = kOtherLine; },
       "Could not find any board with a bootloader (the wheel on COM7 was reset).", true, false},
      {"the board's own number without the bootloader's ids", "wheel_1_6.hex", image,
       [](FirmwareTest& t) { t.after = std::string(kOtherLine) + kBoardLine; }, kNoBootloader, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    listerStarts = flasherStarts = true;
    flasherExit = listerRuns = 0;
    before = std::string(kOtherLine) + kBoardLine;
    after = std::string(kOtherLine) + "COM9 - bootloader - USB\\VID_2341&PID_0036\r\n";
    rig.port.present = true;
    rig.port.opens.clear();
    rig.port.lastBaud = 0;
    processes.runs.clear();
    view = RecordingUpdateView{};
    std::remove("wheel_1_6.hex");
    processes.flasherInstalled = true;
    WriteFile(Path("Tools/avrdude.conf"), "#\n");
    c.arrange(*this);
    EXPECT_FALSE(rig.updater.FlashFirmware(c.name.c_str(), c.image.data(), c.image.size()));
    ASSERT_EQ(view.Texts().size(), 1u);
    EXPECT_NE(view.shown[0].text.find(c.says), std::string::npos) << view.shown[0].text;
    EXPECT_FALSE(rig.updater.RestorePending()) << "nothing to offer back after a failed flash";
    EXPECT_EQ(rig.port.lastBaud == kBootloaderBaud, c.reset);
    bool flasherStarted = false;
    for (const auto& run : processes.runs) flasherStarted = flasherStarted || run.program == kFlasherProgram;
    EXPECT_EQ(flasherStarted, c.flashed);
    const bool looked = c.name.find('\\') == std::string::npos && c.image == image &&
                        std::string(c.what).rfind("no flasher", 0) != 0;
    EXPECT_EQ(Exists(Path("wheel_1_6.hex")), looked) << "only a good image is written";
    EXPECT_FALSE(rig.link.statusHold);
  }
}

// A file that cannot be written is not flashed: the flasher would take an
// older file of that name, or none.
TEST_F(FirmwareTest, AnImageThatCannotBeWrittenIsNotFlashed) {
  ASSERT_EQ(mkdir(Path("wheel_1_6.hex").c_str(), 0700), 0);
  EXPECT_FALSE(rig.updater.FlashFirmware("wheel_1_6.hex", kImage, sizeof kImage - 1));
  EXPECT_TRUE(processes.runs.empty()) << "neither listed nor flashed";
  EXPECT_TRUE(rig.port.opens.empty()) << "the board was not reset";
  rmdir(Path("wheel_1_6.hex").c_str());
}

TEST_F(FirmwareTest, AHugeResetDelayDoesNotHoldTheWindowForHours) {
  rig.settings.resetDelay = 36000000;  // ten hours, from config.ini
  ASSERT_TRUE(rig.updater.FlashFirmware("wheel_1_6.hex", kImage, sizeof kImage - 1));
  EXPECT_GE(slept, kMaxResetDelayMs);
  EXPECT_LT(slept, kMaxResetDelayMs + 1000);
}

TEST_F(FirmwareTest, TheBootloaderIsFoundByItsIds) {
  struct Case {
    const char* what;
    std::string before;
    std::string after;
    const char* port;
  };
  std::string many;
  for (int n = 20; n < 60; ++n) many += "COM" + std::to_string(n) + " - Standard Serial over Bluetooth link\r\n";
  const Case cases[] = {
      {"two new ports: the one with the ids", std::string(kOtherLine) + kBoardLine,
       std::string("COM11 - x - USB\\VID_2341&PID_0036\r\n") + kOtherLine + "COM10 - y\r\n", "-PCOM11"},
      {"two new ports without ids: the later one", std::string(kOtherLine) + kBoardLine,
       std::string("COM11 - x\r\n") + kOtherLine + "COM10 - y\r\n", "-PCOM10"},
      {"on the board's own number", std::string(kOtherLine) + kBoardLine,
       std::string(kOtherLine) + "COM7 - Arduino Leonardo bootloader - USB\\VID_2341&PID_0036\r\n", "-PCOM7"},
      {"behind 40 Bluetooth ports", many + kBoardLine, many + "COM61 - b - USB\\VID_2341&PID_0036\r\n",
       "-PCOM61"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    listerRuns = 0;
    before = c.before;
    after = c.after;
    flasherArgs.clear();
    ASSERT_TRUE(rig.updater.FlashFirmware("wheel_1_6.hex", kImage, sizeof kImage - 1));
    ASSERT_EQ(flasherArgs.size(), 9u);
    EXPECT_EQ(flasherArgs[5], c.port);
  }
  EXPECT_FALSE(rig.updater.RestorePending()) << "no board answered: nothing was saved to offer back";
}

TEST_F(FirmwareTest, ResetBoardIsA1200BaudOpenAndClose) {
  rig.Connect();
  EXPECT_TRUE(rig.updater.ResetBoard());
  EXPECT_EQ(rig.port.opens.back(), 7u);
  EXPECT_EQ(rig.port.lastBaud, 1200u);
  EXPECT_FALSE(rig.port.IsOpen());
  rig.port.present = false;
  EXPECT_FALSE(rig.updater.ResetBoard());
}

class RestoreTest : public FirmwareTest {
 protected:
  // The user's set-up on the board, flashed away, the board back.
  void FlashAway() {
    listerRuns = 0;
    rig.board.SetParameter(17, 100);  // Main Gain
    rig.board.SetParameter(8, 540);   // Max Angle, 4 bytes
    rig.board.SetParameter(40, 5);    // a mapping byte
    rig.board.SetParameter(82, 40);   // an analog curve, 2 bytes
    rig.board.SetParameter(25, -1);   // no external gain input
    rig.board.SetParameter(16, 2);    // the debug level
    rig.Connect();
    ASSERT_TRUE(rig.updater.FlashFirmware("wheel_1_6.hex", kImage, sizeof kImage - 1));
    ASSERT_NE(rig.board.Parameter(17), 100);
    rig.port.written.clear();
    rig.updater.OfferRestore();
    EXPECT_TRUE(view.shown.empty()) << "not before the board answers";
    rig.Connect();
  }
};

TEST_F(RestoreTest, YesPutsEverySettingBack) {
  FlashAway();
  view.answers = {true};
  rig.updater.OfferRestore();
  EXPECT_EQ(view.Texts(), std::vector<std::string>{kRestoreQuestion});
  for (auto [number, value] : std::vector<std::pair<int, int>>{{17, 100}, {8, 540}, {40, 5}, {82, 40}, {25, -1},
                                                               {16, 2}}) {
    EXPECT_EQ(rig.board.Parameter(static_cast<uint8_t>(number)), value) << "parameter " << number;
  }
  // The debug level goes last, after the read-back.
  ASSERT_GE(rig.port.written.size(), 4u);
  EXPECT_EQ(std::vector<uint8_t>(rig.port.written.end() - 4, rig.port.written.end()),
            (std::vector<uint8_t>{'P', 16, 1, 2}));
  EXPECT_FALSE(Exists(Path(kBoardBackupFile))) << "put back: the backup has done its job";
  EXPECT_FALSE(rig.updater.RestorePending());
  rig.updater.OfferRestore();
  EXPECT_EQ(view.shown.size(), 1u) << "asked once";
}

TEST_F(RestoreTest, NoOrAFailureKeepsTheBackup) {
  FlashAway();
  view.answers = {false, true};
  rig.updater.OfferRestore();
  EXPECT_EQ(view.Texts(), (std::vector<std::string>{kRestoreQuestion, kKeepBackupQuestion}));
  EXPECT_TRUE(rig.port.written.empty()) << "nothing written on No";
  EXPECT_TRUE(Exists(Path(kBoardBackupFile)));

  // The next flash finds the board with the defaults of the last one: the
  // backup that waits keeps the user's settings.
  view = RecordingUpdateView{};
  listerRuns = 0;
  ASSERT_NE(rig.board.Parameter(17), 100) << "the board shows the first flash's defaults";
  rig.Connect();
  ASSERT_TRUE(rig.updater.FlashFirmware("wheel_1_6.hex", kImage, sizeof kImage - 1));
  rig.Connect();
  view.answers = {true};
  rig.updater.OfferRestore();
  EXPECT_EQ(rig.board.Parameter(17), 100) << "the settings of before the first flash";
  EXPECT_FALSE(Exists(Path(kBoardBackupFile)));

  view = RecordingUpdateView{};
  FlashAway();
  rig.board.SetSilent(true);  // writes go nowhere, the read-back finds no board
  view.answers = {true};
  rig.updater.OfferRestore();
  EXPECT_EQ(view.Texts(), (std::vector<std::string>{
                              kRestoreQuestion,
                              "Some wheel settings could not be put back. They stay saved in BoardBackup.ini"}));
  EXPECT_TRUE(Exists(Path(kBoardBackupFile)));
}

TEST_F(RestoreTest, NoAndNoDiscardsTheBackup) {
  FlashAway();
  view.answers = {false, false};
  rig.updater.OfferRestore();
  EXPECT_FALSE(Exists(Path(kBoardBackupFile)));
}

TEST_F(RestoreTest, TheBackupFileReadsBackOnlyBoardSettings) {
  WheelParameterTable table;
  table[kEntryMainGain].value = 99;
  table.mapping[0] = -1;
  table.analogCurves[3].value = 1000;
  BoardSettings saved;
  CaptureBoardSettings(table, 0x0105, &saved);
  ASSERT_EQ(saved.count, kBoardSettingCount);
  ASSERT_TRUE(SaveBoardSettingsFile("b.ini", saved));
  BoardSettings loaded;
  ASSERT_TRUE(LoadBoardSettingsFile("b.ini", &loaded));
  ASSERT_EQ(loaded.count, kBoardSettingCount);
  EXPECT_EQ(loaded.firmwareVersion, 0x0105u);
  for (int i = 0; i < saved.count; ++i) {
    const BoardSetting* s = loaded.Find(saved.items[i].number);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(s->value, saved.items[i].value);
    EXPECT_EQ(s->bytes, saved.items[i].bytes);
  }
  // An edited file: a parameter the bulk read does not know is never written.
  WriteFile(Path("e.ini"), "[Board]\r\nPARAM=254,1\r\nPARAM=200,7\r\nPARAM=17,5\r\nPARAM=17,6\r\n\r\n");
  ASSERT_TRUE(LoadBoardSettingsFile("e.ini", &loaded));
  ASSERT_EQ(loaded.count, 1);
  EXPECT_EQ(loaded.items[0].number, 17);
  EXPECT_EQ(loaded.items[0].value, 6);
  WriteFile(Path("n.ini"), "[Board]\r\nPARAM=254,1\r\n\r\n");
  EXPECT_FALSE(LoadBoardSettingsFile("n.ini", &loaded));
  EXPECT_FALSE(LoadBoardSettingsFile("missing.ini", &loaded));
}

}  // namespace
}  // namespace scripttest
