// The firmware update as the window runs it, tick by tick: the stages in
// order, avrdude's progress read from its output, nothing touched before
// the checks pass, the settings offered back only after a flash that
// worked, and a board stranded in its bootloader written again.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
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
    ":00000001FF\r\n";
const char kBoardLine[] = "COM7 - Arduino Leonardo - USB\\VID_2341&PID_8036\\6&1\r\n";
const char kBootLine[] = "COM9 - Arduino Leonardo bootloader - USB\\VID_2341&PID_0036\r\n";
const char kAvrdudeOutput[] =
    "avrdude: Device signature = 0x1e9587\r\n\r\nReading | ################################################## | 100% "
    "0.00s\r\n\r\navrdude: writing flash (512 bytes):\r\n\r\nWriting | #########################"
    "######################### | 100% 0.50s\r\n\r\nReading | ################################################## | "
    "100% 0.40s\r\n\r\navrdude: 512 bytes of flash verified\r\n";

struct Shown {
  FlashStage stage;
  int percent;
  bool mayCancel;
};

class RecordingFlashView : public FlashView {
 public:
  std::vector<Shown> shown;
  int ended = 0;
  void ShowFlash(FlashStage stage, int percent, bool mayCancel) override {
    shown.push_back({stage, percent, mayCancel});
  }
  void EndFlash() override { ++ended; }
  std::vector<FlashStage> Stages() const {
    std::vector<FlashStage> stages;
    for (const Shown& s : shown) {
      if (stages.empty() || stages.back() != s.stage) stages.push_back(s.stage);
    }
    return stages;
  }
};

char* CannedFirmware(Updater&, const char*, const char*, uint32_t* length) {
  char* text = static_cast<char*>(AllocMem(kMainPoolId, sizeof kImage));
  std::memcpy(text, kImage, sizeof kImage);
  *length = sizeof kImage - 1;
  return text;
}

class FlashSessionTest : public ScriptTest {
 protected:
  void SetUp() override {
    ScriptTest::SetUp();
    rig.ArrangeFlash(&view, &processes, dir_);
    rig.updater.flashView = &window;
    rig.updater.fetch = CannedFirmware;
    processes.play = [this](const FakeProcesses::Run& run) {
      FakeProcesses::Result r;
      if (run.program == kPortListerProgram) {
        r.output = lister;
        if (run.args.size() == 1 && flasherRan) r.output = std::string(kBoardLine);
      } else {
        flasherRan = true;
        flasherArgs = run.args;
        r.output = kAvrdudeOutput;
        r.exitCode = flasherExit;
        rig.board.RestoreDefaults();
      }
      return r;
    };
  }
  // Ticks as the window's timer would, the link's handshake step included.
  void RunTicks(int most) {
    for (int i = 0; i < most && rig.updater.Flashing(); ++i) {
      rig.updater.Tick();
      rig.link.ContinueProbe();
      rig.clock.SleepMs(33);
      if (i == 60) lister = std::string(kBoardLine) + kBootLine;  // the reset is over
    }
  }

 public:
  UpdaterRig rig;
  RecordingUpdateView view;
  RecordingFlashView window;
  FakeProcesses processes;
  std::string lister = kBoardLine;
  std::vector<std::string> flasherArgs;
  bool flasherRan = false;
  int flasherExit = 0;
};

TEST_F(FlashSessionTest, TheWindowShowsEveryStageAndTheBoardComesBackWithItsSettings) {
  rig.board.SetParameter(17, 100);
  rig.Connect();
  view.answers = {true};
  ASSERT_TRUE(rig.updater.StartFirmwareDownload("tillerset-updates", "wheel_1_6.hex", 0x0106));
  EXPECT_TRUE(rig.updater.Flashing());
  EXPECT_TRUE(rig.link.statusHold) << "the tick's other work holds off";
  RunTicks(400);
  ASSERT_FALSE(rig.updater.Flashing());
  EXPECT_EQ(window.Stages(), (std::vector<FlashStage>{FlashStage::kDownloading, FlashStage::kChecking,
                                                      FlashStage::kSaving, FlashStage::kResetting,
                                                      FlashStage::kWaitingForBootloader, FlashStage::kWriting,
                                                      FlashStage::kVerifying, FlashStage::kWaitingForBoard,
                                                      FlashStage::kRestoring}));
  EXPECT_EQ(window.ended, 1);
  int last = 0;
  for (const Shown& s : window.shown) {
    EXPECT_GE(s.percent, last) << "the bar only moves forward";
    last = s.percent;
    const bool beforeTouching = s.stage == FlashStage::kDownloading || s.stage == FlashStage::kChecking;
    EXPECT_EQ(s.mayCancel, beforeTouching);
  }
  ASSERT_EQ(flasherArgs.size(), 9u);
  EXPECT_EQ(flasherArgs[5], "-PCOM9");
  EXPECT_EQ(view.Texts(), std::vector<std::string>{kRestoreQuestion});
  EXPECT_EQ(rig.board.Parameter(17), 100);
  EXPECT_FALSE(rig.link.statusHold);
  const std::string log = ReadFile(Path("Log.txt"));
  EXPECT_NE(log.find("avrdude: avrdude: 512 bytes of flash verified"), std::string::npos) << log;
}

TEST_F(FlashSessionTest, NoFlasherLeavesTheBoardAloneAndAsksNothing) {
  rig.board.SetParameter(17, 100);
  rig.Connect();
  processes.flasherInstalled = false;
  ASSERT_TRUE(rig.updater.StartFirmwareDownload("tillerset-updates", "wheel_1_6.hex", 0x0106));
  RunTicks(400);
  EXPECT_TRUE(rig.port.opens.size() <= 1u && rig.port.lastBaud != kBootloaderBaud) << "never reset";
  EXPECT_FALSE(Exists(Path(kBoardBackupFile)));
  EXPECT_FALSE(rig.updater.RestorePending());
  ASSERT_EQ(view.Texts().size(), 1u);
  EXPECT_EQ(view.Texts()[0].rfind("Could not flash the firmware: the flasher Tools\\avrdude is missing", 0), 0u)
      << view.Texts()[0];
  EXPECT_TRUE(rig.link.channel->IsOpen()) << "the board still answers";
}

// Begun from a dialog that held the refresh and has closed since, or from
// none: the flash holds it throughout, in its closing box too, and ends with
// the refresh running again.
TEST_F(FlashSessionTest, TheHoldLastsTheFlashAndEndsWithTheRefreshRunning) {
  rig.Connect();
  flasherExit = 1;
  std::vector<bool> heldInBox;
  view.onShow = [&](const std::string&) { heldInBox.push_back(rig.link.statusHold); };
  for (const bool heldBefore : {false, true}) {
    heldInBox.clear();
    rig.link.statusHold = false;
    {
      std::optional<StatusHold> dialog;
      if (heldBefore) dialog.emplace(rig.link);
      ASSERT_TRUE(rig.updater.StartFirmwareDownload("tillerset-updates", "wheel_1_6.hex", 0x0106));
    }
    EXPECT_EQ(rig.link.statusHold, !heldBefore) << "a dialog's hold ended gives back its own \"not held\"";
    rig.updater.Tick();
    EXPECT_TRUE(!rig.updater.Flashing() || rig.link.statusHold) << heldBefore;
    RunTicks(400);
    EXPECT_EQ(heldInBox, std::vector<bool>{true}) << heldBefore;
    EXPECT_FALSE(rig.link.statusHold) << heldBefore;
  }
}

TEST_F(FlashSessionTest, AStrandedBoardGetsTheLastFirmwareWithoutAReset) {
  // A download kept the firmware with its version; the board then stuck in
  // its bootloader.
  rig.Connect();
  ASSERT_TRUE(rig.updater.StartFirmwareDownload("tillerset-updates", "wheel_1_6.hex", 0x0106));
  processes.play = [](const FakeProcesses::Run&) { return FakeProcesses::Result{false, "", 0}; };
  RunTicks(400);
  ASSERT_TRUE(Exists(Path("wheel_1_6.hex")));
  rig.board.SetSilent(true);
  rig.link.linkState = kDisconnected;
  rig.port.opens.clear();
  rig.port.lastBaud = 0;
  view = RecordingUpdateView{};
  view.answers = {true};
  processes.play = [this](const FakeProcesses::Run& run) {
    FakeProcesses::Result r;
    if (run.program == kPortListerProgram) {
      r.output = kBootLine;
    } else {
      flasherArgs = run.args;
    }
    return r;
  };
  rig.updater.LookForStrandedBoard(false);
  rig.updater.Tick();  // the lister starts
  rig.updater.Tick();  // and is read
  ASSERT_GE(view.Texts().size(), 1u);
  EXPECT_EQ(view.Texts()[0],
            "Your wheel is waiting in its bootloader on COM9 and no firmware runs on it. Do you want to write the "
            "firmware 1.6 that was downloaded last ?");
  ASSERT_TRUE(rig.updater.Flashing());
  for (int i = 0; i < 20 && rig.updater.Stage() != FlashStage::kWaitingForBoard; ++i) {
    rig.updater.Tick();
  }
  ASSERT_EQ(flasherArgs.size(), 9u);
  EXPECT_EQ(flasherArgs[5], "-PCOM9");
  EXPECT_EQ(flasherArgs[8], "-Uflash:w:wheel_1_6.hex:i");
  EXPECT_NE(rig.port.lastBaud, kBootloaderBaud) << "a board in its bootloader is not reset";
  RunTicks(2000);
  EXPECT_FALSE(rig.updater.Flashing()) << "the window closes even when the board stays away";
}

TEST(FlasherProgressTest, AvrdudesBarsInAnyPieces) {
  // Fed whole, a byte at a time, and in pieces that split the markers.
  for (size_t piece : {sizeof kAvrdudeOutput, size_t{1}, size_t{7}}) {
    SCOPED_TRACE(piece);
    FlasherProgress progress;
    const std::string text = kAvrdudeOutput;
    const size_t writeStart = text.find("Writing |");
    for (size_t at = 0; at < text.size(); at += piece) {
      progress.Feed(text.data() + at, std::min(piece, text.size() - at));
      if (at + piece <= writeStart) {
        EXPECT_FALSE(progress.writing) << "the device check's read is no verification";
        EXPECT_EQ(progress.verifyPercent, 0);
      }
    }
    EXPECT_EQ(progress.writePercent, 100);
    EXPECT_TRUE(progress.verifying);
    EXPECT_EQ(progress.verifyPercent, 100);
  }
  FlasherProgress half;
  const char kHalf[] = "Writing | #########################";
  half.Feed(kHalf, sizeof kHalf - 1);
  EXPECT_EQ(half.writePercent, 50);
  EXPECT_FALSE(half.verifying);
}

}  // namespace
}  // namespace scripttest
