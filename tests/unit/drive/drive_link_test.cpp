// Drive configuration, current statistics, commands and the lost-drive
// backoff, over the fake RS485 device wired to the stand-in drive model on a
// stepped clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "drive/drive_link.h"
#include "drive_fakes.h"
#include "exec/log.h"
#include "test_support.h"
#include "wheel/wheel_parameter.h"

namespace {

size_t Count(const std::string& text, const std::string& part) {
  size_t n = 0;
  for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

const Bytes kReadVersion = {0x24, 0x0A, 0x02, 0x80, 0x0A, 0x40, 0x00, 0x00, 0x80,
                            0x09, 0x40, 0x00, 0x03, 0x5C, 0xAB};
const Bytes kReadTorqueBandwidth = {0x24, 0x0A, 0x02, 0x80, 0x0A, 0x40, 0x00, 0x00, 0x80,
                                    0x09, 0x40, 0x01, 0xEA, 0x9C, 0xB5};

class DriveLinkTest : public DriveFixture {
 protected:
  void SetUp() override {
    DriveFixture::SetUp();
    device.drive = &drive;
    SetLogSwitch(1);
    SetLogThreshold(0);
    SetLogDirectory((tmp.path() + "/").c_str());
    wheel[kEntryTorqueBandwidth].value = 4;
  }
  void TearDown() override {
    SetLogSwitch(0);
    SetLogDirectory("");
    DriveFixture::TearDown();
  }
  std::string Log() const { return testsupport::ReadFile(tmp.path() + "/Log.txt"); }
  void Window(int32_t samples) { wheel[kEntryStatisticsWindow].value = samples; }
  void Readout(int32_t raw) {
    drive.SetCurrentFixed(raw);
    link.UpdateDriveCurrent();
  }
  void Configured() {
    link.SwitchOn();
    link.ConfigureDrive(5);
    ASSERT_TRUE(link.IsOpen());
  }

  testsupport::TempDir tmp{"ts_drive"};
  WheelParameterTable wheel;
  RecordingDriveView view;
  DriveLink link{wheel[kEntryTorqueBandwidth], wheel[kEntryStatisticsWindow], view, clock};
};

TEST_F(DriveLinkTest, OutsideDeveloperModeNothingOpensLogsOrShows) {
  link.ConfigureDrive(5);
  EXPECT_FALSE(link.ChoosePort(6));
  link.UpdateDriveCurrent();
  link.RestartDrive();
  link.ClearFaults();
  link.SendTorqueBandwidth();
  EXPECT_EQ(link.WriteDriveParameter(565, 1), kSmCommError);
  EXPECT_EQ(device.calls, 0);
  EXPECT_EQ(view.shows + view.enables, 0);
  EXPECT_EQ(Log(), "");
  EXPECT_FALSE(link.IsOpen());
}

TEST_F(DriveLinkTest, ConfigureReadsVersionAndTorqueBandwidthOnTheDrivePort) {
  SetSmPortReadTimeout(kSmDefaultReadTimeoutMs);
  drive.SetParameter(490, 9);
  Configured();
  EXPECT_EQ(device.openNames, (std::vector<std::string>{"COM5"}));
  EXPECT_EQ(device.openTimeouts, (std::vector<uint16_t>{200}));
  ASSERT_EQ(device.writes.size(), 2u);
  EXPECT_EQ(device.writes[0], kReadVersion);
  EXPECT_EQ(device.writes[1], kReadTorqueBandwidth);
  EXPECT_EQ(wheel[kEntryTorqueBandwidth].value, 9);
  EXPECT_EQ(Log(), "Opening RS485 port\nRS485 port open\nDrive successfully Configured. Version : 0x104\n");
  link.UpdateDriveCurrent();
  EXPECT_TRUE(view.enabled);
}

TEST_F(DriveLinkTest, AFailedConfigurationSaysWhyAndShowsNA) {
  struct Case {
    const char* what;
    SmOpenResult open;
    const char* drive;  // control line
    const char* log;
  } cases[] = {
      {"no such port", SmOpenResult::kNoDevice, "silent off", "Opening RS485 port\nError opening RS485 port\n"},
      {"silent drive", SmOpenResult::kOpened, "silent on",
       "Opening RS485 port\nRS485 port open\nError reading version : 0x29 ->- Comm - Length \n"},
      {"bad CRC", SmOpenResult::kOpened, "crc wrong",
       "Opening RS485 port\nRS485 port open\nError reading version : 0x29 ->- Comm - Length \n"},
      {"version cut short", SmOpenResult::kOpened, "fewer 1",
       "Opening RS485 port\nRS485 port open\nError reading version : 0x21 ->- Length \n"},
  };
  link.SwitchOn();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::WriteFile(tmp.path() + "/Log.txt", "");
    StandinDrive fresh;
    drive = fresh;
    ASSERT_TRUE(drive.Control(c.drive, nullptr));
    device.openResult = c.open;
    const int closes = device.closes;
    link.ConfigureDrive(5);
    EXPECT_FALSE(link.IsOpen());
    EXPECT_EQ(Log(), c.log);
    EXPECT_EQ(device.closes - closes, c.open == SmOpenResult::kOpened ? 1 : 0) << "the port is let go";
    link.UpdateDriveCurrent();
    EXPECT_EQ(view.average, "NA");
    EXPECT_EQ(view.maximum, "NA");
    EXPECT_FALSE(view.enabled);
    EXPECT_EQ(link.RingPosition(), 0u) << "nothing recorded without a link";
  }
}

TEST_F(DriveLinkTest, OnlyAValidTorqueBandwidthFromTheDriveReplacesTheSetting) {
  struct Case {
    const char* what;
    int32_t driveValue;
    const char* control;
    int32_t setting;
  } cases[] = {
      {"an index", 11, "silent off", 11}, {"index 0", 0, "silent off", 0},
      {"past the table", 57, "silent off", 4}, {"negative", -1, "silent off", 4},
      // The version answered, then nothing: the user's setting stays.
      {"read failed", 7, "silent after 1", 4},
  };
  link.SwitchOn();
  for (const Case& c : cases) {
    wheel[kEntryTorqueBandwidth].value = 4;
    drive.SetSilent(false);
    drive.SetParameter(490, c.driveValue);
    ASSERT_TRUE(drive.Control(c.control, nullptr));
    view.bandwidthShown = -1;
    link.ConfigureDrive(5);
    EXPECT_TRUE(link.IsOpen()) << c.what;
    EXPECT_EQ(wheel[kEntryTorqueBandwidth].value, c.setting) << c.what;
    // The strip shows what the drive answered at once.
    EXPECT_EQ(view.bandwidthShown, c.setting == c.driveValue ? c.setting : -1) << c.what;
  }
}

TEST_F(DriveLinkTest, CurrentStatisticsOverTheWindow) {
  struct Case {
    const char* what;
    int32_t window;
    std::vector<int32_t> raws;
    const char* average;
    const char* maximum;
  } cases[] = {
      {"window 1 is the newest sample alone", 1, {1000, -2000}, "3.6 A", "3.6 A"},
      {"a negative current counts by its size", 1, {-1000}, "1.8 A", "1.8 A"},
      {"slots never filled count as 0", 2, {1000}, "0.9 A", "1.8 A"},
      {"window 3000", 3000, {50000, 50000, 50000}, "0.1 A", "90.0 A"},
      {"a window below 1 reads as 1", 0, {500, 1000}, "1.8 A", "1.8 A"},
      {"a window past the ring reads as 3000", 5000, {30000}, "0.0 A", "54.0 A"},
  };
  for (const Case& c : cases) {
    DriveLink fresh(wheel[kEntryTorqueBandwidth], wheel[kEntryStatisticsWindow], view, clock);
    fresh.SwitchOn();
    fresh.ConfigureDrive(5);
    Window(c.window);
    for (int32_t raw : c.raws) {
      drive.SetCurrentFixed(raw);
      fresh.UpdateDriveCurrent();
    }
    EXPECT_EQ(view.average, c.average) << c.what;
    EXPECT_EQ(view.maximum, c.maximum) << c.what;
    EXPECT_TRUE(view.enabled) << c.what;
  }
}

TEST_F(DriveLinkTest, ResetMaxTakesTheLargestSampleStillInTheWindow) {
  Configured();
  Window(2);
  Readout(3000);
  Readout(1000);
  EXPECT_EQ(view.maximum, "5.4 A");
  link.ResetMax();
  EXPECT_EQ(link.Maximum(), 0);
  Readout(600);
  EXPECT_EQ(view.maximum, "1.8 A") << "1000 is still in the window, 3000 is not";
  EXPECT_EQ(view.average, "1.4 A");
}

TEST_F(DriveLinkTest, TheRingWrapsAndAFailedReadCountsAsZero) {
  Configured();
  Window(3);
  for (int i = 0; i < kCurrentSampleCount - 1; ++i) Readout(0);
  Readout(1000);  // the last slot
  Readout(2000);  // slot 0 again
  EXPECT_EQ(link.RingPosition(), 1u);
  EXPECT_EQ(view.average, "1.8 A");
  EXPECT_EQ(view.maximum, "3.6 A");

  link.ResetMax();
  drive.SetSilent(true);
  link.UpdateDriveCurrent();
  EXPECT_EQ(link.Sample(1), 0);
  EXPECT_EQ(view.average, "1.8 A") << "(0 + 2000 + 1000) / 3";
  EXPECT_TRUE(link.IsOpen()) << "one failure does not give the drive up";
}

TEST_F(DriveLinkTest, CommandsSendTheirPacketsOnlyWhileLinked) {
  struct Case {
    const char* what;
    void (*run)(DriveLink&);
    Bytes packet;
  } cases[] = {
      {"Restart Drive", [](DriveLink& l) { l.RestartDrive(); },
       {0x24, 0x06, 0x02, 0x82, 0x2A, 0x00, 0x00, 0x00, 0x02, 0x8E, 0xCE}},
      {"Clear Faults", [](DriveLink& l) { l.ClearFaults(); },
       {0x24, 0x06, 0x02, 0x89, 0xE5, 0x00, 0x00, 0x00, 0x03, 0x1A, 0x65}},
      {"Torque BW : Unlimited", [](DriveLink& l) { l.SendTorqueBandwidth(); },
       {0x24, 0x06, 0x02, 0x81, 0xEA, 0x00, 0x00, 0x00, 0x0B, 0x4E, 0xEA}},
  };
  link.SwitchOn();
  wheel[kEntryTorqueBandwidth].value = 11;
  for (const Case& c : cases) {
    c.run(link);
    EXPECT_TRUE(device.writes.empty()) << c.what << " without a link";
  }
  EXPECT_EQ(link.WriteDriveParameter(565, 4096), kSmCommError);
  EXPECT_TRUE(device.writes.empty());

  drive.SetParameter(490, 11);
  link.ConfigureDrive(5);
  for (const Case& c : cases) {
    c.run(link);
    EXPECT_EQ(device.LastWrite(), c.packet) << c.what;
  }
  EXPECT_EQ(drive.Restarts(), 1u);
  EXPECT_EQ(drive.Parameter(490), 11);
  EXPECT_EQ(link.WriteDriveParameter(565, 4096), kSmOk);
  EXPECT_EQ(drive.Parameter(565), 4096);
}

TEST_F(DriveLinkTest, PickingThePortInUseDoesNotReconfigure) {
  Configured();
  const size_t opens = device.openNames.size();
  EXPECT_FALSE(link.ChoosePort(5));
  EXPECT_EQ(device.openNames.size(), opens);
  EXPECT_TRUE(link.ChoosePort(6));
  EXPECT_EQ(device.openNames.back(), "COM6");
  EXPECT_EQ(device.closes, 1) << "the old link closed first";
  EXPECT_EQ(link.Port(), 6);
}

// The app's tick: a readout starts more than 100 ms after the previous one
// started, and never before the window has had a timer tick to itself.
struct TickRun {
  uint64_t longestUs = 0;
  uint64_t firstNaUs = 0;
  uint64_t firstBackUs = 0;
};

TEST_F(DriveLinkTest, ADriveThatGoesAwayIsLetGoAndFoundAgain) {
  struct Case {
    const char* what;
    bool unplugged;  // the adapter is gone, not just the drive
  } cases[] = {{"silent drive", false}, {"adapter pulled out", true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testsupport::WriteFile(tmp.path() + "/Log.txt", "");
    drive.SetSilent(false);
    device.openResult = SmOpenResult::kOpened;
    device.writeResult = -2;
    DriveLink l(wheel[kEntryTorqueBandwidth], wheel[kEntryStatisticsWindow], view, clock);
    l.SwitchOn();
    l.ConfigureDrive(5);
    ASSERT_TRUE(l.IsOpen());

    const uint64_t goneAt = clock.now;
    const uint64_t backAt = goneAt + 20000000;
    const uint64_t endAt = backAt + 10000000;
    if (c.unplugged) {
      device.openResult = SmOpenResult::kNoDevice;
      device.writeResult = -1;
    } else {
      drive.SetSilent(true);
    }
    const size_t opensBefore = device.openTimesUs.size();
    TickRun run;
    bool back = false;
    while (clock.now < endAt) {
      if (!back && clock.now >= backAt) {
        back = true;
        drive.SetSilent(false);
        device.openResult = SmOpenResult::kOpened;
        device.writeResult = -2;
      }
      const uint64_t start = clock.now;
      l.UpdateDriveCurrent();
      run.longestUs = std::max(run.longestUs, clock.now - start);
      if (run.firstNaUs == 0 && view.average == "NA") run.firstNaUs = clock.now;
      if (back && run.firstBackUs == 0 && view.average != "NA") run.firstBackUs = clock.now;
      clock.now = std::max(start + 101000, clock.now + 33000);
    }
    EXPECT_LE(run.longestUs, 500000u) << "the window always answered within 0.5 s";
    ASSERT_NE(run.firstNaUs, 0u);
    EXPECT_LE(run.firstNaUs - goneAt, 3000000u) << "NA within a few seconds";
    ASSERT_NE(run.firstBackUs, 0u);
    EXPECT_LE(run.firstBackUs - backAt, uint64_t{kDriveRetryIntervalMs} * 1000u + 500000u);
    EXPECT_TRUE(l.IsOpen());
    EXPECT_TRUE(view.enabled);

    // Tries no more often than the interval, each opening the port once.
    std::vector<uint64_t> tries(device.openTimesUs.begin() + opensBefore, device.openTimesUs.end());
    ASSERT_GE(tries.size(), 2u);
    for (size_t i = 1; i < tries.size(); ++i) EXPECT_GE(tries[i] - tries[i - 1], kDriveRetryIntervalMs * 1000u);
    const std::string log = Log();
    EXPECT_EQ(Count(log, "UpdateDriveCurrent: the drive does not answer"), 1u) << log;
    EXPECT_EQ(Count(log, "Opening RS485 port"), 1u) << "the tries are quiet: " << log;
    EXPECT_EQ(Count(log, "Drive successfully Configured"), 2u) << log;
  }
}

TEST_F(DriveLinkTest, AClosedLinkIsNotTriedAgain) {
  Configured();
  link.Close();
  clock.now += 60000000;
  const size_t opens = device.openNames.size();
  link.UpdateDriveCurrent();
  EXPECT_EQ(device.openNames.size(), opens);
  EXPECT_EQ(view.average, "NA");
}

// A port where no drive ever answered may hold another device (some reset on
// each open): it is tried after 3, 6, 12 ... s, at most once a minute.
TEST_F(DriveLinkTest, APortThatNeverAnsweredIsTriedLessAndLessOften) {
  device.drive = nullptr;
  link.SwitchOn();
  link.ConfigureDrive(5);
  for (int i = 0; i < 4000; ++i) {
    clock.now += 100000;
    link.UpdateDriveCurrent();
  }
  const uint64_t expected[] = {3, 6, 12, 24, 48, 60, 60};
  ASSERT_GE(device.openTimesUs.size(), 8u);
  for (size_t i = 1; i < 8; ++i) {
    const uint64_t gap = (device.openTimesUs[i] - device.openTimesUs[i - 1]) / 1000000u;
    EXPECT_EQ(gap, expected[i - 1]) << "try " << i;
  }
}

}  // namespace
