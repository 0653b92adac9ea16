// The stand-in drive's side of the bus, without a terminal: fed the
// program's own requests (through the fake device) or hand-made packets.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "drive/simple_motion.h"
#include "standin_drive/standin_drive.h"
#include "drive_fakes.h"

namespace {

Bytes WithCrc(Bytes packet) {
  const uint16_t crc = SmCrc16(packet.data(), packet.size());
  packet.push_back(static_cast<uint8_t>(crc));
  packet.push_back(static_cast<uint8_t>(crc >> 8));
  return packet;
}

Bytes Feed(StandinDrive& drive, const Bytes& in) {
  Bytes out;
  drive.Receive(in.data(), in.size(), &out);
  return out;
}

const Bytes kReadVersion = WithCrc({0x24, 0x0A, 0x02, 0x80, 0x0A, 0x40, 0x00, 0x00, 0x80, 0x09, 0x40, 0x00, 0x03});

using StandinDriveOnBus = DriveFixture;

TEST_F(StandinDriveOnBus, ReadsAndWritesThroughTheProgramsOwnRequests) {
  const int32_t bus = OpenWired();
  struct Case {
    uint16_t address;
    int32_t value;  // what a read gives
  } reads[] = {{3, 0x104}, {490, 6}, {565, 10000}, {2533, 0}, {12345, 0}};
  for (const Case& c : reads) {
    int32_t value = -7;
    EXPECT_EQ(SmGetParameter(bus, 2, c.address, &value), kSmOk) << c.address;
    EXPECT_EQ(value, c.value) << c.address;
  }
  struct Write {
    uint16_t address;
    int32_t value;
    int32_t after;  // the parameter then
  } writes[] = {{490, 11, 11}, {565, -4096, -4096}, {2533, 3, 0}, {554, 2, 2}, {3, 99, 0x104}, {700, 1 << 28, 1 << 28}};
  for (const Write& w : writes) {
    EXPECT_EQ(SmSetParameter(bus, 2, w.address, w.value), kSmOk) << w.address;
    int32_t value = 0;
    ASSERT_EQ(SmGetParameter(bus, 2, w.address, &value), kSmOk);
    EXPECT_EQ(value, w.after) << w.address;
  }
  EXPECT_EQ(drive.Restarts(), 1u);
}

TEST_F(StandinDriveOnBus, TheCurrentMovesAndChangesSign) {
  const int32_t bus = OpenWired();
  drive.SetCurrentWave(1000, 8);
  std::vector<int32_t> seen;
  for (int i = 0; i < 8; ++i) {
    int32_t value = 0;
    ASSERT_EQ(SmGetParameter(bus, 2, 901, &value), kSmOk);
    seen.push_back(value);
  }
  EXPECT_EQ(seen, (std::vector<int32_t>{0, 707, 1000, 707, 0, -707, -1000, -707}));
  drive.SetCurrentFixed(-1000);
  int32_t value = 0;
  SmGetParameter(bus, 2, 901, &value);
  EXPECT_EQ(value, -1000);
}

TEST(StandinDrive, EveryValueSurvivesTheTripThroughEncoderAndDecoder) {
  // The drive's encoder against the program's decoder, over the edges of
  // every size.
  const int32_t values[] = {0, 31, -32, 32, -33, 8191, -8192, 8192, -8193, (1 << 21) - 1, -(1 << 21),
                            1 << 21, -(1 << 21) - 1, (1 << 29) - 1, -(1 << 29)};
  const size_t sizes[] = {1, 1, 1, 2, 2, 2, 2, 3, 3, 3, 3, 4, 4, 4, 4};
  FakeClock clock;
  FakeSmDevice device(clock);
  SetSmPortDevice(&device);
  SetSimpleMotionClock(&clock);
  const int32_t bus = SmOpenBus("COM5");
  ASSERT_GE(bus, 0);
  for (size_t i = 0; i < sizeof values / sizeof values[0]; ++i) {
    Bytes payload;
    AppendReturnValue(values[i], &payload);
    EXPECT_EQ(payload.size(), sizes[i]) << values[i];
    SmQueueCommand(bus, kSmSetAddress, 1);
    Bytes reply = WithCrc([&] {
      Bytes p = {0x24, static_cast<uint8_t>(payload.size()), 0x02};
      p.insert(p.end(), payload.begin(), payload.end());
      return p;
    }());
    device.Inject(reply, clock.now + 100);
    ASSERT_EQ(SmExecuteQueue(bus, 2), kSmOk);
    int32_t decoded = 0;
    EXPECT_EQ(SmNextReturnValue(bus, &decoded), kSmOk);
    EXPECT_EQ(decoded, values[i]);
  }
  SmCloseBus(bus);
  SetSmPortDevice(nullptr);
  SetSimpleMotionClock(nullptr);
}

TEST(StandinDrive, LeavesUnansweredWhatIsNotAGoodPacketForIt) {
  Bytes badCrc = kReadVersion;
  badCrc.back() ^= 0xFF;
  struct Case {
    const char* what;
    Bytes packet;
    const char* note;  // part of the transcript line
  } cases[] = {
      {"bad CRC", badCrc, "bad CRC"},
      {"another node", WithCrc({0x24, 0x02, 0x03, 0x80, 0x03}), "for node 3, not this drive"},
      {"another command", WithCrc({0x2C, 0x02, 0x02, 0x80, 0x03}), "command 0x2c not understood"},
      {"payload class 11", {0x26}, "payload class 11"},
  };
  for (const Case& c : cases) {
    StandinDrive drive;
    std::string notes;
    drive.SetNote([&](char, const uint8_t*, size_t, const std::string& text) { notes += text + "\n"; });
    EXPECT_TRUE(Feed(drive, c.packet).empty()) << c.what;
    EXPECT_NE(notes.find(c.note), std::string::npos) << c.what << ": " << notes;
    // It is ready for the next packet at once.
    EXPECT_FALSE(Feed(drive, kReadVersion).empty()) << c.what;
  }
}

TEST(StandinDrive, FallsSilentLaterAndComesBack) {
  StandinDrive drive;
  ASSERT_TRUE(drive.Control("silent after 2", nullptr));
  EXPECT_FALSE(Feed(drive, kReadVersion).empty());
  EXPECT_FALSE(Feed(drive, kReadVersion).empty());
  EXPECT_TRUE(Feed(drive, kReadVersion).empty());
  EXPECT_TRUE(drive.Silent());
  ASSERT_TRUE(drive.Control("silent off", nullptr));
  EXPECT_FALSE(Feed(drive, kReadVersion).empty());
  EXPECT_EQ(drive.PacketsAnswered(), 3u);
}

TEST(StandinDrive, ControlLinesAreCheckedBeforeTheyAct) {
  const char* refused[] = {"", "silent maybe", "silent after -1", "crc sideways", "short", "short x",
                           "fewer 300", "set 99999 1", "set 5", "current wave 100 0", "late 5", "frobnicate"};
  for (const char* line : refused) {
    StandinDrive drive;
    std::string error;
    EXPECT_FALSE(drive.Control(line, &error)) << line;
    EXPECT_FALSE(error.empty()) << line;
  }
  StandinDrive drive;
  ASSERT_TRUE(drive.Control("set 490 9", nullptr));
  ASSERT_TRUE(drive.Control("set 0x9E5 0x3", nullptr));
  EXPECT_EQ(drive.Parameter(490), 9);
  EXPECT_EQ(drive.Parameter(2533), 3);
}

}  // namespace
