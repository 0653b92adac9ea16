// The drive link on the real termios port against the stand-in drive running
// in-process behind a pseudo-terminal.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "drive/drive_link.h"
#include "drive/sm_port.h"
#include "exec/com_port_paths_posix.h"
#include "standin_drive/standin_drive_host_posix.h"
#include "drive_fakes.h"
#include "exec/log.h"
#include "test_support.h"
#include "wheel/wheel_parameter.h"

namespace {

class StripView : public DriveView {
 public:
  std::string average, maximum;
  bool enabled = false;
  void ShowCurrents(const char* a, const char* m) override {
    average = a;
    maximum = m;
  }
  void EnableDriveControls(bool on) override { enabled = on; }
};

class DriveOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    SetComPortDirectory(directory.c_str());
    SetLogSwitch(1);
    SetLogThreshold(0);
    SetLogDirectory((directory + "/").c_str());
    StandinDriveHostOptions options;
    options.link = directory + "/COM5";
    options.transcript = directory + "/transcript.txt";
    host = std::make_unique<StandinDriveHost>(options);
    ASSERT_TRUE(host->Start());
    link.SwitchOn();
  }
  void TearDown() override {
    link.Close();
    host.reset();
    SetComPortDirectory(nullptr);
    SetLogSwitch(0);
    SetLogDirectory("");
    SetSmPortReadTimeout(kSmDefaultReadTimeoutMs);
  }
  void Control(const std::string& line) {
    std::string error;
    ASSERT_TRUE(host->Control(line, &error)) << error;
  }
  std::string Log() const { return testsupport::ReadFile(directory + "/Log.txt"); }
  std::string TranscriptFile() const { return testsupport::ReadFile(directory + "/transcript.txt"); }

  testsupport::TempDir tmp{"ts_drive_pty"};
  std::string directory = tmp.path();
  std::unique_ptr<StandinDriveHost> host;
  WheelParameterTable wheel;
  StripView view;
  FakeClock retryClock;  // the exchanges run on real time; only the tries are stepped
  DriveLink link{wheel[kEntryTorqueBandwidth], wheel[kEntryStatisticsWindow], view, retryClock};
};

TEST_F(DriveOnPty, ConfigureAndReadoutAreByteExactInTheTranscript) {
  Control("set 490 10");
  Control("current -1000");
  wheel[kEntryStatisticsWindow].value = 1;
  link.ConfigureDrive(5);
  ASSERT_TRUE(link.IsOpen()) << Log();
  EXPECT_EQ(Log(), "Opening RS485 port\nRS485 port open\nDrive successfully Configured. Version : 0x104\n");
  EXPECT_EQ(wheel[kEntryTorqueBandwidth].value, 10);
  link.UpdateDriveCurrent();
  EXPECT_EQ(view.average, "1.8 A");
  EXPECT_EQ(view.maximum, "1.8 A");
  EXPECT_TRUE(view.enabled);

  const std::string transcript = TranscriptFile();
  for (const char* line : {"#  opened at 460800 baud",
                           "< 24 0a 02 80 0a 40 00 00 80 09 40 00 03 5c ab  node 2: 10 := 0, 9 := 3 (read 3)",
                           "> 24 05 02 c0 c0 c0 81 04 0a b7  4 values, 3 = 260",
                           "< 24 0a 02 80 0a 40 00 00 80 09 40 01 ea 9c b5  node 2:",
                           "< 24 0a 02 80 0a 40 00 00 80 09 40 03 85 dd f9  node 2:"}) {
    EXPECT_NE(transcript.find(line), std::string::npos) << line << "\n" << transcript;
  }
}

TEST_F(DriveOnPty, ASilentDriveIsReportedAndShownAsNA) {
  Control("silent on");
  link.ConfigureDrive(5);
  EXPECT_FALSE(link.IsOpen());
  EXPECT_NE(Log().find("Error reading version : 0x29 ->- Comm - Length \n"), std::string::npos) << Log();
  link.UpdateDriveCurrent();
  EXPECT_EQ(view.average, "NA");
  EXPECT_FALSE(view.enabled);
}

TEST_F(DriveOnPty, AnAdapterPulledOutIsLetGoAndFoundAgainOnItsNewTerminal) {
  link.ConfigureDrive(5);
  ASSERT_TRUE(link.IsOpen());
  Control("drop");
  for (int i = 0; i < kDriveFailuresBeforeClose; ++i) link.UpdateDriveCurrent();
  EXPECT_FALSE(link.IsOpen());
  EXPECT_EQ(view.average, "NA");
  EXPECT_NE(Log().find("UpdateDriveCurrent: the drive does not answer"), std::string::npos);

  retryClock.SleepMs(kDriveRetryIntervalMs);
  link.UpdateDriveCurrent();  // the link path is gone: no port yet
  EXPECT_FALSE(link.IsOpen());
  Control("back");
  retryClock.SleepMs(kDriveRetryIntervalMs);
  link.UpdateDriveCurrent();
  ASSERT_TRUE(link.IsOpen()) << Log();
  Control("current 2000");
  wheel[kEntryStatisticsWindow].value = 1;
  link.UpdateDriveCurrent();
  EXPECT_EQ(view.average, "3.6 A");
  EXPECT_TRUE(view.enabled);
}

}  // namespace
