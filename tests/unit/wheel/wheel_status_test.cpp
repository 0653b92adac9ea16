// Status refresh, calibrate and centre, "#" reports and a board that goes
// away and comes back, on the fake channel and the stepped clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "exec/log.h"
#include "wheel/wheel_link.h"
#include "test_support.h"
#include "wheel_fakes.h"

namespace {

class WheelStatus : public ::testing::Test, public WheelRig {
 protected:
  void SetUp() override {
    link.wheelPort = 7;
  }
  // One refresh; returns what it sent.
  Bytes Refresh() {
    port.written.clear();
    link.RefreshStatus();
    // The refresh's handshake takes its reply tick by tick, as the program's
    // 33 ms tick does.
    while (link.ProbePending()) {
      clock.now += 33000;
      link.ContinueProbe();
    }
    clock.now += 1001000;
    return port.written;
  }
  std::string Status() const { return view.Text(LinkText::kStatusLine); }
  // The first refresh finds and reads the board; the next one polls it.
  void FoundAndPolled() {
    Refresh();
    Refresh();
  }
};

TEST_F(WheelStatus, FirstRefreshFindsTheBoardAndReadsItTheNextPolls) {
  Bytes sent = Refresh();
  ASSERT_EQ(sent.size(), 7u + 69 * 3);
  EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 7), Bytes({'o', 'r', 'v', 'e', 'n', 'k', '?'}));
  EXPECT_EQ(Bytes(sent.begin() + 7, sent.end()), BulkReadRequests());
  EXPECT_EQ(link.linkState, kWheelFound);
  EXPECT_EQ(Status(), "Wheel Found");
  EXPECT_EQ(Refresh(), Bytes({'S', 'V'}));
  EXPECT_EQ(link.linkState, kWheelReady);
  EXPECT_EQ(Status(), "Ready");
  EXPECT_EQ(view.Text(LinkText::kFirmwareVersion), "1.5");
  EXPECT_EQ(link.firmwareVersion, 0x0105u);
  EXPECT_EQ(view.Text(LinkText::kExternalGain), "---");  // marker -1
  EXPECT_FALSE(link.linkBusy);
  // The version is asked once.
  EXPECT_EQ(Refresh(), Bytes({'S'}));
}

TEST_F(WheelStatus, StatusCodesAndTheirTexts) {
  struct Case {
    uint8_t code;
    const char* text;
    uint8_t stateAfter;
  };
  const Case cases[] = {
      {0, "Disconnected", kWheelFound}, {1, "Calibrating Dir", kWheelFound},
      {2, "Calibrating Dir", kWheelFound}, {3, "Calibrating left", kWheelFound},
      {4, "Calibrating right", kWheelFound}, {5, "Searching index", kWheelFound}, {6, "Homing", kWheelFound},
      {7, "Calibration error", kWheelError}, {8, "Ready", kWheelReady}, {12, "Ready", kWheelFound},
      {255, "Ready", kWheelFound},
  };
  for (const Case& c : cases) {
    ASSERT_EQ(link.ProbeWheel(7), 1);
    board.SetStatusScript({c.code});
    Refresh();
    EXPECT_EQ(Status(), c.text) << int(c.code);
    EXPECT_EQ(link.linkState, c.stateAfter) << int(c.code);
  }
}

TEST_F(WheelStatus, ErrorThenReadyAndNeverDown) {
  board.SetStatusScript({7, 8, 3});
  FoundAndPolled();
  EXPECT_EQ(link.linkState, kWheelError);
  EXPECT_EQ(Status(), "Calibration error");
  Refresh();
  EXPECT_EQ(link.linkState, kWheelReady);
  EXPECT_EQ(Status(), "Ready");
  Refresh();
  EXPECT_EQ(link.linkState, kWheelReady);
  EXPECT_EQ(Status(), "Calibrating left");
}

TEST_F(WheelStatus, ExternalGainShownWhenTheBoardHasOne) {
  board.SetParameter(25, 0);
  board.SetParameter(254, 127);
  FoundAndPolled();
  ASSERT_FALSE(view.shown.empty());
  EXPECT_EQ(view.shown.back().entry, &link[kEntryExternalGain]);
  EXPECT_EQ(view.shown.back().value, 127);
}

TEST_F(WheelStatus, HoldStopsEverything) {
  link.statusHold = true;
  EXPECT_TRUE(Refresh().empty());
  EXPECT_TRUE(port.opens.empty());
  EXPECT_TRUE(view.texts.empty());
}

TEST_F(WheelStatus, DebugLevelAboveZeroStopsProbingAndPolling) {
  Refresh();
  link.parameters[kEntryDebugLevel].value = 1;
  EXPECT_TRUE(Refresh().empty());
  EXPECT_TRUE(Refresh().empty());
  EXPECT_EQ(Status(), "Reporting: not polled") << "the line says why it stands still";
}

TEST_F(WheelStatus, NoBoardShowsConnectedAndDashes) {
  board.SetSilent(true);
  Refresh();
  EXPECT_EQ(Status(), "Connected");
  EXPECT_EQ(view.Text(LinkText::kExternalGain), "---");
  EXPECT_FALSE(port.IsOpen());
  // It probes again on every refresh.
  EXPECT_EQ(Refresh(), Bytes({'o', 'r', 'v', 'e', 'n', 'k', '?'}));
}

TEST_F(WheelStatus, HiddenToTrayDoesNotPoll) {
  ASSERT_EQ(link.ProbeWheel(7), 1);
  link.frameHidden = true;
  EXPECT_TRUE(Refresh().empty());
  EXPECT_EQ(Status(), "Wheel Found");
}

TEST_F(WheelStatus, NoStatusAnswerShowsTheStateText) {
  FoundAndPolled();
  board.SetSilent(true);
  EXPECT_EQ(Refresh(), Bytes({'S'}));
  EXPECT_EQ(Status(), "Wheel Ready");
  EXPECT_EQ(link.linkState, kWheelReady);
}

TEST_F(WheelStatus, MissingVersionIsAskedAgain) {
  ASSERT_EQ(link.ProbeWheel(7), 1);
  link.parameters.externalGainMarker = -1;
  board.SetVersion(0);
  EXPECT_EQ(Refresh(), Bytes({'S', 'V'}));
  EXPECT_EQ(link.firmwareVersion, 0u);
  board.SetVersion(0x0203);
  EXPECT_EQ(Refresh(), Bytes({'S', 'V'}));
  EXPECT_EQ(view.Text(LinkText::kFirmwareVersion), "2.3");
}

TEST_F(WheelStatus, CalibrateAndCentre) {
  ASSERT_EQ(link.ProbeWheel(7), 1);
  port.written.clear();
  link.CentreWheel();  // Wheel Found: nothing is sent
  EXPECT_TRUE(port.written.empty());
  link.StartCalibration();
  EXPECT_EQ(port.written, Bytes({'r'}));
  Refresh();
  EXPECT_EQ(Status(), "Calibrating Dir");
  for (int i = 0; i < 6; ++i) Refresh();
  EXPECT_EQ(Status(), "Ready");
  board.SetCentreOffset(-250);
  port.written.clear();
  const uint64_t start = clock.now;
  link.CentreWheel();
  EXPECT_EQ(port.written, Bytes({'c', 'p', 4, 4}));
  EXPECT_GE(clock.now - start, 100000u);
  EXPECT_EQ(link.parameters[kEntryOffset].value, -250);
}

TEST_F(WheelStatus, UnpluggedBoardIsNoticedAndFoundAgain) {
  FoundAndPolled();
  ASSERT_EQ(link.linkState, kWheelReady);
  // Pulled out: the port's writes and status query now fail.
  port.dead = true;
  port.present = false;
  Refresh();
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(link.linkState, kDisconnected);
  EXPECT_EQ(Status(), "Disconnected");
  EXPECT_EQ(view.Text(LinkText::kExternalGain), "---");
  // Still gone: the refresh tries the port and keeps saying so.
  Refresh();
  EXPECT_EQ(Status(), "Disconnected");
  // Plugged in again.
  port.dead = false;
  port.present = true;
  board.SetVersion(0x0106);
  Bytes sent = Refresh();
  EXPECT_EQ(Bytes(sent.begin(), sent.begin() + 7), Bytes({'o', 'r', 'v', 'e', 'n', 'k', '?'}));
  EXPECT_EQ(link.linkState, kWheelFound);
  Refresh();
  EXPECT_EQ(link.linkState, kWheelReady);
  EXPECT_EQ(Status(), "Ready");
  EXPECT_EQ(view.Text(LinkText::kFirmwareVersion), "1.6");  // read again
}

TEST_F(WheelStatus, WriteToAGoneBoardClosesTheLink) {
  Refresh();
  port.dead = true;
  link.WriteParameter(link.parameters[kEntryMainGain]);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(link.linkState, kDisconnected);
  // Profile writes are refused from then on rather than talking into nothing.
  port.written.clear();
  link.WriteProfileParameters();
  EXPECT_TRUE(port.written.empty());
}

// ---- "#" reports

// A port where nothing answers (another device, a board in its bootloader):
// the refresh sends the probe and returns; the reply window passes over the
// next ticks, none of which waits for it. The re-probes go on.
TEST_F(WheelStatus, AProbeNobodyAnswersNeverHoldsTheWindow) {
  board.SetSilent(true);
  uint64_t longest = 0;
  auto timed = [&](auto step) {
    const uint64_t before = clock.now;
    step();
    longest = std::max(longest, clock.now - before);
  };
  for (int second = 0; second < 5; ++second) {
    timed([&] { link.RefreshStatus(); });
    while (link.ProbePending()) {
      clock.now += 33000;
      timed([&] { link.ContinueProbe(); });
    }
    clock.now += 1001000;
  }
  EXPECT_LE(longest, 25000u) << "the refresh's own 20 ms pause, no reply window";
  EXPECT_EQ(port.opens.size(), 5u);
  EXPECT_LT(link.linkState, kWheelFound);
  EXPECT_EQ(Status(), "Connected");

  // A command while a probe waits settles it first, within its window.
  board.SetSilent(false);
  link.RefreshStatus();
  ASSERT_TRUE(link.ProbePending());
  link.WaitNotBusy();
  EXPECT_FALSE(link.ProbePending());
  EXPECT_EQ(link.linkState, kWheelFound);
}

// A board that answers the handshake and then falls silent is let go after a
// few missing replies, not after 69 of them; the next refresh looks again.
TEST_F(WheelStatus, ABoardSilentAfterTheHandshakeIsLetGoQuickly) {
  Connect();
  board.SetSilent(true);
  link[kEntryMainGain].value = 77;
  const uint64_t before = clock.now;
  link.ReadAllParameters();
  EXPECT_LT(clock.now - before, 500000u);
  const Bytes requests = BulkReadRequests();
  EXPECT_EQ(port.written, Bytes(requests.begin(), requests.begin() + 3 * kBulkMissesBeforeLost));
  EXPECT_EQ(link.linkState, kDisconnected);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(Status(), "Disconnected");
  EXPECT_EQ(link[kEntryMainGain].value, 77) << "values not read are kept";

  board.SetSilent(false);
  Bytes sent = Refresh();
  EXPECT_EQ(sent.size(), 7u + 69 * 3) << "found again and read whole";
  EXPECT_EQ(link.linkState, kWheelFound);
}

class BoardReport : public WheelStatus {
 protected:
  void SetUp() override {
    WheelStatus::SetUp();
    SetLogDirectory((tmp.path() + "/").c_str());
    SetLogSwitch(1);
    SetLogThreshold(0);
    ASSERT_EQ(link.ProbeWheel(7), 1);
    board.SetSilent(true);
  }
  void TearDown() override {
    SetLogSwitch(0);
    SetLogDirectory("");
  }
  std::string Log() { return testsupport::ReadFile(tmp.Path("Log.txt")); }
  // Bytes that have all arrived.
  void Arrive(const Bytes& bytes) {
    port.InjectNow(bytes);
    clock.now += 10000;
  }
  testsupport::TempDir tmp{"ts_wheel_log"};
};

// A port whose every read takes a millisecond (a busy machine).
class SlowReads : public FakeChannel {
 public:
  using FakeChannel::FakeChannel;
  uint32_t Read(void* data, uint32_t count) override {
    clock->now += 1000;
    ++reads;
    return FakeChannel::Read(data, count);
  }
  FakeClock* clock = nullptr;
  int reads = 0;
};

class Sink : public ReportSink {
 public:
  void TakeReports(const ::BoardReport* reports, int count, uint32_t garbage) override {
    taken.insert(taken.end(), reports, reports + count);
    this->garbage += garbage;
  }
  std::vector<::BoardReport> taken;
  uint32_t garbage = 0;
};

TEST_F(BoardReport, EveryWaitingReportIsTakenErrorsLoggedTheRestSummedOnceASecond) {
  Sink sink;
  link.reportSink = &sink;
  link.parameters[kEntryDebugLevel].value = 1;
  // A report split over two ticks, garbage, and an error among torque values.
  Arrive({'#', 0x01, 0x05, 0xFF, 0xFE, 'x', '#', 0x07, 0x00, 0x01, 0x00, '#', 0x00, 0xFF});
  link.ReadBoardReports();
  EXPECT_EQ(port.BytesAvailable(), 0u);
  EXPECT_EQ(sink.taken.size(), 2u);
  EXPECT_EQ(Log(), "Error : 0 : 256\n");
  Arrive({0x7F, 0xFF, '#', 0x00, 0x00, 0x80, 0x00});
  link.ReadBoardReports();
  ASSERT_EQ(sink.taken.size(), 4u);
  EXPECT_EQ(sink.taken[0].kind, 1);
  EXPECT_EQ(sink.taken[0].value, -2);
  EXPECT_EQ(sink.taken[2].value, 32767);
  EXPECT_EQ(sink.taken[3].value, -32768);
  EXPECT_EQ(sink.garbage, 1u);
  // Within the second no summary; after it one line.
  clock.now += 1000000;
  link.ReadBoardReports();
  EXPECT_EQ(Log(),
            "Error : 0 : 256\nReadBoardReports: 4 reports in 1010 ms, torque 2 (min -32768, max 32767, clipping "
            "100.0 %), errors 1, other bytes 1\n");
  link.reportSink = nullptr;
}

TEST_F(BoardReport, AtDebugLevelZeroNothingIsConsumed) {
  Arrive({'#', 1, 5, 0xFF, 0xFE});
  link.ReadBoardReports();
  EXPECT_EQ(port.BytesAvailable(), 5u);
  EXPECT_EQ(Log(), "");
}

TEST_F(BoardReport, OneTickStopsAfterItsBudgetAndTheNextTakesTheRest) {
  SlowReads slow{clock, board};
  slow.clock = &clock;
  ASSERT_EQ(slow.Open(7, kWheelBaud), 1);
  link.channel = &slow;
  Sink sink;
  link.reportSink = &sink;
  link.parameters[kEntryDebugLevel].value = 1;
  Bytes many;
  for (int i = 0; i < 1000; ++i) many.insert(many.end(), {'#', 0, 0, 0, static_cast<uint8_t>(i)});
  slow.InjectNow(many);
  clock.now += 1000000;
  link.ReadBoardReports();
  EXPECT_EQ(slow.reads, 5) << "5 ms of 1 ms reads";
  EXPECT_GT(slow.BytesAvailable(), 0u);
  while (slow.BytesAvailable() > 0) link.ReadBoardReports();
  ASSERT_EQ(sink.taken.size(), 1000u) << "none lost";
  EXPECT_EQ(sink.taken[999].value, 999 & 0xFF);
  link.reportSink = nullptr;
  link.channel = &port;
}

TEST_F(BoardReport, ABoardPulledOutWhileReportingIsLetGo) {
  link.linkState = kWheelReady;
  link.parameters[kEntryDebugLevel].value = 1;
  port.dead = true;
  link.ReadBoardReports();
  EXPECT_EQ(link.linkState, kDisconnected);
  EXPECT_NE(Log().find("ReadBoardReports: lost the wheel board on COM7"), std::string::npos);
}

}  // namespace
