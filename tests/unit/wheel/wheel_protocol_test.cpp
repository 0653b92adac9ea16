// Handshake and parameter protocol of the WheelLink against the stand-in
// board model on a fake channel and a stepped clock (no sleeping, no timing).
#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "wheel/wheel_link.h"
#include "wheel_fakes.h"

namespace {

class WheelLinkTest : public ::testing::Test, public WheelRig {};

// ---- handshake

TEST_F(WheelLinkTest, ProbeOutcomes) {
  struct Case {
    const char* name;
    Bytes reply;         // what the board sends instead of its own answer
    uint64_t delayUs;    // after the probe
    int result;
  };
  const Case cases[] = {
      {"the board's own reply", B("DuvarKemol"), 100, 1},
      {"noise before the D is dropped", B("\x01\x02zzDuvarKemol"), 100, 1},
      {"doubled D fails", B("DDuvarKemol"), 100, 0},
      {"wrong text fails", B("DuvarKemoX"), 100, 0},
      {"a stray byte inside fails even if a good reply follows", B("DuvXarKemolDuvarKemol"), 100, 0},
      {"600 ms late fails", B("DuvarKemol"), 600000, 0},
      {"499 ms is in time", B("DuvarKemol"), 499000, 1},
  };
  for (const Case& c : cases) {
    StandinBoard silentBoard;
    silentBoard.SetSilent(true);
    FakeChannel quiet(clock, silentBoard);
    WheelLink p;
    p.channel = &quiet;
    p.clock = &clock;
    // The reply comes delayUs after the probe is written (written at "now").
    quiet.Inject(c.reply, clock.now + c.delayUs);
    EXPECT_EQ(p.ProbeWheel(3), c.result) << c.name;
    EXPECT_EQ(quiet.written, B("orvenk?")) << c.name;
    EXPECT_EQ(quiet.lastBaud, 115200u) << c.name;
    EXPECT_EQ(quiet.IsOpen(), c.result == 1) << c.name;
    EXPECT_EQ(p.linkState, c.result ? kWheelFound : kConnected) << c.name;
    EXPECT_EQ(p.wheelPort, c.result ? 3 : 0) << c.name;
    clock.now += 1000000;
  }
}

TEST_F(WheelLinkTest, SilentBoardFailsAfterTheWindowWaitingInSmallSteps) {
  board.SetSilent(true);
  const uint64_t start = clock.now;
  EXPECT_EQ(link.ProbeWheel(7), 0);
  const uint64_t took = clock.now - start;
  EXPECT_GE(took, 500000u);
  EXPECT_LE(took, 501000u);  // the window ends within one step
  EXPECT_LE(port.longestWaitUs, 1000u);
  EXPECT_GE(port.waits, 490);  // it slept between looks instead of spinning
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(link.linkState, kConnected);
}

TEST_F(WheelLinkTest, EndlessStreamWithoutLStopsAt127Characters) {
  board.SetSilent(true);
  Bytes stream(10240, 'u');
  stream[0] = 'D';
  port.Inject(stream, clock.now + 100);
  const uint64_t start = clock.now;
  EXPECT_EQ(link.ProbeWheel(7), 0);
  EXPECT_LT(clock.now - start, 500000u);  // the length limit came first
  EXPECT_GT(port.Pending(), 10000u);      // it stopped reading at 127 characters
  EXPECT_FALSE(port.IsOpen());
}

TEST_F(WheelLinkTest, ProbeOnAFaultyPort) {
  struct Case {
    const char* name;
    bool present;
    uint32_t writeLimit;
    uint8_t state;
    bool open;
  };
  const Case cases[] = {
      {"a port that does not open changes nothing", false, 0xFFFFFFFFu, kDisconnected, false},
      {"a short probe write leaves the port open", true, 3, kConnected, true},
  };
  for (const Case& c : cases) {
    WheelRig rig;
    rig.port.present = c.present;
    rig.port.writeLimit = c.writeLimit;
    EXPECT_EQ(rig.link.ProbeWheel(9), 0) << c.name;
    EXPECT_EQ(rig.link.linkState, c.state) << c.name;
    EXPECT_EQ(rig.port.IsOpen(), c.open) << c.name;
    EXPECT_EQ(rig.link.wheelPort, 0) << c.name;
  }
}

TEST_F(WheelLinkTest, ChoosingTheSamePortAgainDoesNothing) {
  Connect();
  port.opens.clear();
  EXPECT_EQ(link.ChooseWheelPort(7), 0);
  EXPECT_TRUE(port.opens.empty());
  EXPECT_EQ(link.ChooseWheelPort(4), 1);
  EXPECT_EQ(link.wheelPort, 4);
}

// ---- parameter protocol

TEST_F(WheelLinkTest, BulkReadAsksThe69ParametersInOrder) {
  Connect();
  const uint64_t start = clock.now;
  link.ReadAllParameters();
  const Bytes expected = BulkReadRequests();
  EXPECT_EQ(port.written.size(), 69u * 3);
  EXPECT_EQ(port.written, expected);
  EXPECT_GE(clock.now - start, 345000u);

  // Max angle, main gain, filter, encoder; mappings 0, 7 and 8; an analog
  // setting and curve; the external gain marker.
  const WheelParameterTable& p = link.parameters;
  EXPECT_EQ((std::vector<int32_t>{p[kEntryMaxAngle].value, p[kEntryMainGain].value, p[kEntryFilter].value,
                                  p[kEntryEncoder].value, p.mapping[0], p.mapping[7], p.mapping[8],
                                  p.analogSettings[1], p.analogCurves[3].value, p.externalGainMarker}),
            (std::vector<int32_t>{900, 64, 16, 10000, 0, 7, -1, 1, 32, -1}));
}

TEST_F(WheelLinkTest, RepliesAreLittleEndianAndSignExtended) {
  struct Case {
    uint8_t sizeIndex;
    int32_t stored;
    int32_t expected;
  };
  const Case cases[] = {
      {kSizeIndex1, 0xFF, -1},        {kSizeIndex1, 0x7F, 127},
      {kSizeIndex2, 0xFFFE, -2},      {kSizeIndex2, 0x1234, 0x1234},
      {kSizeIndex4, 1, 1},            {kSizeIndex4, -900, -900},
      {kSizeIndex0, 55, 0},
  };
  Connect();
  for (const Case& c : cases) {
    board.SetParameter(50, c.stored);
    EXPECT_EQ(link.ReadParameter(50, c.sizeIndex), c.expected) << c.stored;
  }
  // The wire form of those: 0xFE 0xFF for -2 in two bytes.
  board.SetSilent(true);
  port.Inject({0xFE, 0xFF}, clock.now + 100);
  EXPECT_EQ(link.ReadParameter(51, kSizeIndex2), -2);
  port.Inject({0x01, 0x00, 0x00, 0x00}, clock.now + 100);
  EXPECT_EQ(link.ReadParameter(51, kSizeIndex4), 1);
}

TEST_F(WheelLinkTest, ReplyThatNeverComesKeepsThePreviousValue) {
  Connect();
  link.ReadAllParameters();
  board.SetSilent(true);
  board.SetParameter(8, 1080);
  view.shown.clear();
  link.ReadAllParameters();
  EXPECT_EQ(link.parameters[kEntryMaxAngle].value, 900);
  EXPECT_EQ(link.parameters[kEntryMainGain].value, 64);
  EXPECT_EQ(link.parameters.mapping[3], 3);
  EXPECT_EQ(link.parameters.analogSettings[1], 1);
  EXPECT_EQ(link.parameters.analogCurves[0].value, 32);
  EXPECT_EQ(link.parameters.externalGainMarker, -1);
  // The kept value is shown again.
  const auto angle = std::find_if(view.shown.begin(), view.shown.end(),
                                  [&](const RecordingLinkView::Shown& s) { return s.entry == &link[kEntryMaxAngle]; });
  ASSERT_NE(angle, view.shown.end());
  EXPECT_EQ(angle->value, 900);
  int32_t value = 77;
  EXPECT_FALSE(link.ReadParameter(8, kSizeIndex4, &value));
  EXPECT_EQ(value, 77);
}

TEST_F(WheelLinkTest, ReplyByteTimeOutIsPerByte) {
  Connect();
  board.SetSilent(true);
  // Two of four bytes: the read gives up 100 ms after the second.
  port.Inject({1, 2}, clock.now + 50000);
  uint32_t value = 0xAAAAAAAA;
  const uint64_t start = clock.now;
  EXPECT_EQ(link.ReadReply(&value, 4), 0);
  EXPECT_EQ(value, 0xAAAAAAAAu);
  EXPECT_GE(clock.now - start, 50000u + 100000u);
  EXPECT_LE(clock.now - start, 50000u + 101000u + 1000u);
}

TEST_F(WheelLinkTest, LateReplyDoesNotShiftTheNextValue) {
  Connect();
  // Parameter 17's answer comes 150 ms late, after its read gave up.
  board.SetSilent(true);
  port.Inject({99}, clock.now + 150000);
  int32_t gain = 5;
  EXPECT_FALSE(link.ReadParameter(17, kSizeIndex1, &gain));
  EXPECT_EQ(gain, 5);
  clock.now += 100000;
  board.SetSilent(false);
  EXPECT_EQ(link.ReadParameter(8, kSizeIndex4), 900);
}

TEST_F(WheelLinkTest, DoubledRepliesDoNotShiftLaterValues) {
  Connect();
  board.SetDoubled(true);
  EXPECT_EQ(link.ReadParameter(17, kSizeIndex1), 64);
  clock.now += 1000;
  EXPECT_EQ(link.ReadParameter(8, kSizeIndex4), 900);
}

TEST_F(WheelLinkTest, ReportInTheMiddleOfAReplyIsReadAsReplyBytes) {
  Connect();
  board.SetSilent(true);
  port.Inject({'#', 1, 5, 0xFF, 0xFE, 0x84, 0x03, 0x00, 0x00}, clock.now + 100);
  // The protocol cannot tell; the value is garbage but nothing breaks ...
  EXPECT_EQ(link.ReadParameter(8, kSizeIndex4), int32_t(0xFF05'0123));
  // ... and the next request is answered correctly.
  board.SetSilent(false);
  EXPECT_EQ(link.ReadParameter(17, kSizeIndex1), 64);
}

TEST_F(WheelLinkTest, WritesAreBigEndian) {
  struct Case {
    WheelEntry entry;
    int32_t value;
    Bytes wire;
  };
  const Case cases[] = {
      {kEntryMaxAngle, 900, {'P', 8, 4, 0x00, 0x00, 0x03, 0x84}},
      {kEntryMainGain, 127, {'P', 17, 1, 0x7F}},
      {kEntryFlags, 5, {'P', 34, 1, 0x05}},
      {kEntryOffset, -2, {'P', 4, 4, 0xFF, 0xFF, 0xFF, 0xFE}},
      {kEntryTorqueBandwidth, 4, {}},   // 255: never written to the board
      {kEntryStatisticsWindow, 10, {}},
  };
  Connect();
  for (const Case& c : cases) {
    port.written.clear();
    const uint64_t start = clock.now;
    link.parameters[c.entry].value = c.value;
    link.WriteParameter(link.parameters[c.entry]);
    EXPECT_EQ(port.written, c.wire) << c.entry;
    if (!c.wire.empty()) {
      EXPECT_EQ(clock.now - start, 20000u) << c.entry;
    }
  }
  EXPECT_EQ(board.Parameter(8), 900);
  EXPECT_EQ(board.Parameter(4), -2);
}

TEST_F(WheelLinkTest, RawWritesTakeTheirByteCount) {
  Connect();
  link.WriteParameterRaw(36, 1, 0x1FF);
  link.WriteParameterRaw(9, 0, 1234);
  link.WriteParameterRaw(10, 6, -2);
  EXPECT_EQ(port.written, (Bytes{'P', 36, 1, 0xFF, 'P', 9, 0, 'P', 10, 6, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFE}));
}

TEST_F(WheelLinkTest, ProfileWriteOrderAndConditions) {
  Connect();
  link.statusHold = false;
  link.WriteProfileParameters();
  Bytes numbers;
  for (size_t i = 0; i < port.written.size();) {
    ASSERT_EQ(port.written[i], 'P');
    numbers.push_back(port.written[i + 1]);
    i += 3 + port.written[i + 2];
  }
  EXPECT_EQ(numbers, (Bytes{8, 17, 18, 19, 20, 21, 22, 23, 24, 34, 30, 31, 32, 33, 77}));
  EXPECT_FALSE(link.statusHold);  // restored

  for (uint8_t state : {kDisconnected, kConnected, kWheelError}) {
    port.written.clear();
    link.linkState = state;
    link.WriteProfileParameters();
    EXPECT_TRUE(port.written.empty()) << int(state);
  }
  // A refresh that never ends (busy) stops the profile write.
  port.written.clear();
  link.linkState = kWheelReady;
  link.linkBusy = true;
  link.WriteProfileParameters();
  EXPECT_TRUE(port.written.empty());
}

TEST_F(WheelLinkTest, RestoreDefaultsSendsDThenReadsTheWholeTableBack) {
  Connect();
  board.SetParameter(35, 0);
  board.SetParameter(40, 9);
  board.SetParameter(8, 1234);
  const uint64_t start = clock.now;
  link.RestoreBoardDefault();
  ASSERT_GE(port.written.size(), 1u + 2 * 3);
  EXPECT_EQ(port.written[0], 'D');
  EXPECT_EQ(Bytes(port.written.begin() + 1, port.written.begin() + 7), (Bytes{'p', 4, 4, 'p', 8, 4}));
  EXPECT_EQ(port.written.size(), 1u + (20 + 4 + 36 + 8 + 1) * 3);
  EXPECT_EQ(link.parameters[kEntryCommandMode].value, 1);  // the board's default again
  EXPECT_EQ(link.parameters[kEntryMaxAngle].value, 900);
  EXPECT_EQ(link.parameters.mapping[4], 4);
  EXPECT_GE(clock.now - start, 400000u + 69 * 5000u);
}

TEST_F(WheelLinkTest, WaitNotBusy) {
  EXPECT_EQ(link.WaitNotBusy(), 1);
  link.linkBusy = true;
  const uint64_t start = clock.now;
  EXPECT_EQ(link.WaitNotBusy(), 0);
  EXPECT_GT(clock.now - start, 500000u);
  EXPECT_LE(clock.now - start, 502000u);
}

}  // namespace
