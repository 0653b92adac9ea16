// The RS485 port slots: against a fake device for the table rules, and the
// termios device on a real pseudo-terminal for the line itself.
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "drive/sm_port.h"
#include "drive/sm_port_paths_posix.h"
#include "exec/com_port_paths_posix.h"
#include "drive_fakes.h"
#include "exec/os.h"

namespace {

using SmPortSlots = DriveFixture;

TEST_F(SmPortSlots, TenPortsAtMostAndAFreedSlotIsTakenAgain) {
  for (int i = 0; i < kSmPortSlots; ++i) EXPECT_EQ(SmPortOpen("COM4"), i);
  const int callsBefore = device.calls;
  EXPECT_EQ(SmPortOpen("COM4"), -1);
  EXPECT_EQ(device.calls, callsBefore) << "a full table opens no device";
  ASSERT_TRUE(SmPortClose(3));
  EXPECT_FALSE(SmPortClose(3));
  EXPECT_EQ(SmPortOpen("COM4"), 3);
}

TEST_F(SmPortSlots, OnlyComAndDevTtyNamesReachTheDevice) {
  struct Case {
    const char* name;
    bool reachesDevice;
  } cases[] = {
      {"LPT1", false},        {"com3", false},       {"Com3", false},        {" COM3", false},
      {"", false},            {"CO", false},         {"/dev/tt", false},     {"/dev/pts/3", false},
      {"dev/ttyS0", false},   {"COM3", true},        {"COM12", true},        {"/dev/ttyUSB0", true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    device.openNames.clear();
    const int8_t slot = SmPortOpen(c.name);
    EXPECT_EQ(slot >= 0, c.reachesDevice);
    EXPECT_EQ(device.openNames.size(), c.reachesDevice ? 1u : 0u);
    if (slot >= 0) SmPortClose(slot);
  }
  EXPECT_EQ(SmPortOpen(nullptr), -1);
}

TEST_F(SmPortSlots, AFailedOpenSaysWhichStepFailedAndKeepsTheSlotFree) {
  struct Case {
    SmOpenResult result;
    const char* message;
  } cases[] = {
      {SmOpenResult::kNoDevice, "unable to open comport\n"},
      {SmOpenResult::kBadLineMode, "unable to set comport dcb settings\n"},
      {SmOpenResult::kLineRefused, "unable to set comport cfg settings\n"},
      {SmOpenResult::kTimeoutsRefused, "unable to set comport time-out settings\n"},
  };
  for (const Case& c : cases) {
    device.openResult = c.result;
    testing::internal::CaptureStdout();
    EXPECT_EQ(SmPortOpen("COM2"), -1);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), c.message);
  }
  device.openResult = SmOpenResult::kOpened;
  EXPECT_EQ(SmPortOpen("COM2"), 0);
}

TEST_F(SmPortSlots, APacketGoesOutInOneWriteOfAtMost128Bytes) {
  const int8_t slot = SmPortOpen("COM2");
  ASSERT_EQ(slot, 0);
  for (int i = 0; i < kSmTransmitSize; ++i) ASSERT_TRUE(SmPortPutByte(slot, static_cast<uint8_t>(i)));
  EXPECT_FALSE(SmPortPutByte(slot, 0xEE)) << "the 129th byte";
  EXPECT_TRUE(SmPortFlush(slot));
  ASSERT_EQ(device.writes.size(), 1u);
  EXPECT_EQ(device.writes[0].size(), 128u);
  EXPECT_EQ(device.writes[0][127], 127);

  // A write the platform cuts short or rejects fails; the bytes are dropped
  // either way, so the next packet starts empty.
  for (int32_t result : {3, -1}) {
    device.writeResult = result;
    for (uint8_t b : {1, 2, 3, 4}) SmPortPutByte(slot, b);
    EXPECT_FALSE(SmPortFlush(slot)) << result;
  }
  device.writeResult = -2;
  SmPortPutByte(slot, 9);
  EXPECT_TRUE(SmPortFlush(slot));
  EXPECT_EQ(device.LastWrite(), Bytes{9});
}

TEST_F(SmPortSlots, SlotsOutsideTheTableOrNotOpenNeverTouchTheDevice) {
  const int8_t open = SmPortOpen("COM2");
  ASSERT_EQ(open, 0);
  ASSERT_TRUE(SmPortClose(open));
  const int calls = device.calls;
  for (int8_t slot : {int8_t{-1}, int8_t{10}, int8_t{127}, int8_t{-128}, open, int8_t{5}}) {
    uint8_t byte = 0;
    EXPECT_FALSE(SmPortPutByte(slot, 1));
    EXPECT_FALSE(SmPortFlush(slot));
    EXPECT_FALSE(SmPortReadByte(slot, &byte));
    SmPortDiscardInput(slot);
    EXPECT_FALSE(SmPortClose(slot));
  }
  EXPECT_EQ(device.calls, calls);
}

TEST_F(SmPortSlots, EachPortReadsWithTheTimeOutInForceWhenItWasOpened) {
  SetSmPortReadTimeout(kSmDefaultReadTimeoutMs);
  const int8_t first = SmPortOpen("COM2");
  SetSmPortReadTimeout(200);
  const int8_t second = SmPortOpen("COM3");
  uint8_t byte = 0;
  const uint64_t start = clock.now;
  EXPECT_FALSE(SmPortReadByte(first, &byte));
  EXPECT_FALSE(SmPortReadByte(second, &byte));
  EXPECT_EQ(device.openTimeouts, (std::vector<uint16_t>{500, 200}));
  EXPECT_EQ(device.readTimeouts, (std::vector<uint16_t>{500, 200}));
  EXPECT_EQ(clock.now - start, 700000u);
}

TEST(SmPortPaths, ComNamesMapThroughOverrideThenDirectoryThenUsbNumbering) {
  struct Case {
    const char* name;
    bool mapped;
    const char* path;
  };
  SetComPortPath(7, "/tmp/standin/drive");
  const Case withOverride[] = {
      {"COM7", true, "/tmp/standin/drive"}, {"COM8", true, "/dev/ttyUSB7"}, {"COM1", true, "/dev/ttyUSB0"},
      {"/dev/ttyS4", true, "/dev/ttyS4"}, {"COM0", false, ""}, {"COM256", false, ""}, {"COM7x", false, ""},
      {"COMX", false, ""}, {"COM", false, ""}, {"COM07", false, ""},
  };
  for (const Case& c : withOverride) {
    char path[64] = "";
    EXPECT_EQ(SmPortDevicePath(c.name, path, sizeof path), c.mapped) << c.name;
    if (c.mapped) {
      EXPECT_STREQ(path, c.path) << c.name;
    }
  }
  // The directory, an override's precedence over it and a path too long are
  // the shared map's (ComPortPaths.LookupOrder).
  SetComPortPath(7, nullptr);
}

// The termios device on a pseudo-terminal whose master the test holds.
class SmPortOnPty : public ::testing::Test {
 protected:
  void SetUp() override {
    SetSmPortReadTimeout(200);
    slot = SmPortOpen("COM9");
    ASSERT_GE(slot, 0);
  }
  void TearDown() override {
    SmPortClose(slot);
    SetSmPortReadTimeout(kSmDefaultReadTimeoutMs);
  }
  static double ThreadCpuMs() {
    timespec t{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e3 + t.tv_nsec / 1e6;
  }
  testsupport::Pty pty{9};
  int8_t slot = -1;
};

// Free after the close for everyone, not only for root (who passes the mark
// and so can look at it): a pseudo-terminal's slave keeps it while its
// master lives.
TEST_F(SmPortOnPty, AClosedPortCarriesNoExclusiveMark) {
  SmPortClose(slot);
  slot = -1;
  const int fd = open(pty.slave.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(fd, 0);
  int mark = -1;
  EXPECT_EQ(ioctl(fd, TIOCGEXCL, &mark), 0);
  EXPECT_EQ(mark, 0);
  close(fd);
}

TEST_F(SmPortOnPty, TheLineIs460800AndTheReadWaitsItsTimeOutWithoutSpinning) {
  termios tio{};
  ASSERT_EQ(tcgetattr(pty.master, &tio), 0);
  EXPECT_EQ(cfgetospeed(&tio), static_cast<speed_t>(B460800));

  const uint64_t start = os::MonotonicUs();
  const double cpu = ThreadCpuMs();
  uint8_t byte = 0;
  EXPECT_FALSE(SmPortReadByte(slot, &byte));
  // A lower bound only: the time-out was applied. A loop that polled
  // instead of sleeping would use the processor for the whole wait.
  EXPECT_GE(os::MonotonicUs() - start, 195000u);
  EXPECT_LT(ThreadCpuMs() - cpu, 50.0);
}

TEST_F(SmPortOnPty, BytesGoOutInOneWriteAndComeBackOneByOne) {
  for (uint8_t b : {0x24, 0x00, 0x02}) SmPortPutByte(slot, b);
  ASSERT_TRUE(SmPortFlush(slot));
  uint8_t got[8] = {};
  ASSERT_EQ(read(pty.master, got, sizeof got), 3);
  EXPECT_EQ(got[0], 0x24);
  EXPECT_EQ(got[2], 0x02);

  const uint8_t reply[] = {0xAA, 0xBB};
  ASSERT_EQ(write(pty.master, reply, 2), 2);
  uint8_t byte = 0;
  ASSERT_TRUE(SmPortReadByte(slot, &byte));
  EXPECT_EQ(byte, 0xAA);
  ASSERT_TRUE(SmPortReadByte(slot, &byte));
  EXPECT_EQ(byte, 0xBB);

  // Input already waiting is dropped without a wait.
  ASSERT_EQ(write(pty.master, reply, 2), 2);
  os::SleepUs(20000);
  SmPortDiscardInput(slot);
  SetSmPortReadTimeout(200);
  const uint64_t start = os::MonotonicUs();
  EXPECT_FALSE(SmPortReadByte(slot, &byte));
  EXPECT_GE(os::MonotonicUs() - start, 195000u);
}

TEST_F(SmPortOnPty, TheDriveSPortIsNotShared) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(SmPortOpen("COM9"), -1);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "unable to open comport\n");
}

TEST_F(SmPortOnPty, AHungUpLineFailsAtOnce) {
  pty.Unplug();
  uint8_t byte = 0;
  const uint64_t start = os::MonotonicUs();
  EXPECT_FALSE(SmPortReadByte(slot, &byte));
  EXPECT_LT(os::MonotonicUs() - start, 150000u) << "a dead line has nothing to wait for";
  SmPortPutByte(slot, 1);
  EXPECT_FALSE(SmPortFlush(slot));
}

}  // namespace
