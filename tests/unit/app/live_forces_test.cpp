// The Live Forces session on the fake channel and the stand-in board: the
// debug level asked and put back, the pictures it asks for, and a board that
// stops or goes away.
#include <gtest/gtest.h>

#include <string>

#include "app/control_panel.h"
#include "app/live_forces.h"
#include "app/live_forces_ids.h"
#include "app/main_page_ids.h"
#include "fake_dialog.h"
#include "wheel_fakes.h"

namespace {

class Window : public LiveForcesWindow {
 public:
  DialogControls& Controls() override { return dialog; }
  void Redraw() override { ++redraws; }
  FakeDialog dialog;
  int redraws = 0;
};

class LiveForcesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    panel.link.channel = &port;
    panel.link.clock = &clock;
    panel.mainPageView.page = &page;
    panel.link.statusHold = false;
    panel.link.wheelPort = 7;
    ASSERT_EQ(panel.link.ProbeWheel(7), 1);
    port.written.clear();
  }
  void TearDown() override { panel.liveForces.Close(); }
  // One application tick 38 ms after the last, with these bytes arrived.
  void Tick(const Bytes& arrived = {}) {
    clock.now += 33000;
    if (!arrived.empty()) port.InjectNow(arrived);
    clock.now += 5000;  // all of them arrived (87 us a byte)
    panel.link.ReadBoardReports();
    panel.liveForces.Tick();
  }
  static Bytes Torque(int16_t v) {
    return {'#', 0, 0, static_cast<uint8_t>(static_cast<uint16_t>(v) >> 8), static_cast<uint8_t>(v & 0xFF)};
  }
  FakeClock clock;
  StandinBoard board;
  FakeChannel port{clock, board};
  FakeDialog page;
  ControlPanel panel;
  Window window;
};

TEST_F(LiveForcesTest, OpenAsksForReportsTheStatusSaysWhyAndCloseGivesTheLevelBack) {
  ASSERT_TRUE(panel.liveForces.Open(&window));
  EXPECT_EQ(port.written, (Bytes{'P', 16, 1, 1}));
  EXPECT_EQ(board.Parameter(16), 1);
  port.written.clear();
  panel.RefreshStatus();
  EXPECT_EQ(port.written, Bytes()) << "no probe, no poll while reports flow";
  EXPECT_EQ(page.Text(IDC_DEVICE_STATUS), "Reporting: not polled");

  Bytes reports;
  for (int16_t v : {32767, 32767, 100, -32768}) {
    const Bytes one = Torque(v);
    reports.insert(reports.end(), one.begin(), one.end());
  }
  Tick(reports);
  for (int i = 0; i < 7; ++i) Tick();
  EXPECT_EQ(window.dialog.Text(IDC_FORCES_LATEST), "Torque: ---") << "the texts at most twice a second";
  for (int i = 0; i < 6; ++i) Tick();
  EXPECT_EQ(window.dialog.Text(IDC_FORCES_CLIPPING), "Clipping: 75.0 %");
  EXPECT_EQ(window.dialog.Text(IDC_FORCES_LATEST), "Torque: -32768");
  panel.liveForces.Close();
  EXPECT_EQ(port.written, (Bytes{'P', 16, 1, 0}));
  EXPECT_EQ(panel.link[kEntryDebugLevel].value, 0);
}

TEST_F(LiveForcesTest, ALevelTheUserChoseIsNeitherChangedNorPutBack) {
  panel.link[kEntryDebugLevel].value = 2;
  ASSERT_TRUE(panel.liveForces.Open(&window));
  panel.liveForces.Close();
  EXPECT_EQ(port.written, Bytes());
  EXPECT_EQ(panel.link[kEntryDebugLevel].value, 2);
}

TEST_F(LiveForcesTest, DrawnOnlyForNewSamplesAtMostEveryFrameAndWhenTheReportsStop) {
  ASSERT_TRUE(panel.liveForces.Open(&window));
  EXPECT_EQ(window.redraws, 1);
  // Over 10 s a picture every 66 ms, over 30 s every 200 ms.
  EXPECT_EQ(panel.liveForces.FrameIntervalMs(), 66u);
  panel.liveForces.SetSpan(2);
  EXPECT_EQ(panel.liveForces.FrameIntervalMs(), 200u);
  panel.liveForces.SetSpan(0);  // over 2 s, every 33 ms
  const int first = window.redraws;
  Tick(Torque(5));
  EXPECT_EQ(window.redraws, first + 1);
  // Reports arrive 5 ms after the last picture: they wait for the next frame.
  port.InjectNow(Torque(6));
  clock.now += 5000;
  panel.link.ReadBoardReports();
  panel.liveForces.Tick();
  EXPECT_EQ(window.redraws, first + 1);
  Tick();
  EXPECT_EQ(window.redraws, first + 2);
  Tick();
  EXPECT_EQ(window.redraws, first + 2) << "nothing new, nothing drawn";
  panel.liveForces.SetPaused(true);
  Tick(Torque(7));
  EXPECT_EQ(window.redraws, first + 2) << "paused";
  panel.liveForces.SetPaused(false);
  for (int i = 0; i < 50; ++i) Tick();
  EXPECT_EQ(window.redraws, first + 4) << "the resume, then the stop";
  EXPECT_EQ(window.dialog.Text(IDC_FORCES_STATE), "Stopped: no reports from the board");
  EXPECT_STREQ(panel.liveForces.GraphInputs(100, 100, 13).notice, "Stopped: no reports from the board");
  EXPECT_NE(panel.liveForces.Csv().find("\r\n"), std::string::npos);
}

TEST_F(LiveForcesTest, ABoardUnpluggedLetsItsLevelGoAndIsAskedAgainWhenBack) {
  ASSERT_TRUE(panel.liveForces.Open(&window));
  port.dead = true;
  Tick(Torque(1));
  EXPECT_EQ(panel.link.linkState, kDisconnected);
  EXPECT_EQ(panel.link[kEntryDebugLevel].value, 0) << "the status refresh may probe again";
  EXPECT_EQ(window.dialog.Text(IDC_FORCES_STATE), "Stopped: the board is not connected");
  port.dead = false;
  board.SetParameter(16, 0);
  ASSERT_EQ(panel.link.ProbeWheel(7), 1);
  port.written.clear();
  Tick();
  EXPECT_EQ(port.written, (Bytes{'P', 16, 1, 1}));
}

}  // namespace
