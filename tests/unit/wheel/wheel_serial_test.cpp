// The termios serial channel on real pseudo-terminals: the contract the
// protocol layers rely on (closed-channel results, exclusive open, port
// numbers modulo 256, reads in arrival order, a dead port closes itself).
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "exec/deadline.h"
#include "exec/os.h"
#include "wheel/serial_channel.h"
#include "exec/com_port_paths_posix.h"
#include "test_support.h"

namespace {

using testsupport::Pty;

// The line discipline hands bytes over asynchronously; wait (bounded
// generously, it only matters when the bytes never come) until the channel
// sees them.
bool WaitForBytes(SerialChannel& ch, uint32_t count) {
  const Deadline deadline = Deadline::After(os::MonotonicUs(), 10000000);
  while (ch.BytesAvailable() < count) {
    if (deadline.Passed(os::MonotonicUs()) || !ch.IsOpen()) return false;
    ch.WaitForInput(1000);
  }
  return true;
}

TEST(SerialChannel, ClosedChannelDoesNothing) {
  SerialChannel ch;
  uint8_t buffer[4] = {9, 9, 9, 9};
  EXPECT_FALSE(ch.IsOpen());
  EXPECT_EQ(ch.Close(), -1);
  EXPECT_EQ(ch.Write("abc", 3), 0u);
  EXPECT_EQ(ch.WriteText("abc"), 0u);
  EXPECT_EQ(ch.WriteByte('a'), 0u);
  EXPECT_EQ(ch.Read(buffer, 4), 0u);
  EXPECT_EQ(buffer[0], 9);
  EXPECT_EQ(ch.BytesAvailable(), 0u);
  EXPECT_EQ(ch.ReadByte(), 0);
  EXPECT_FALSE(ch.WaitForInput(1000));
  ch.Purge();
  ch.SetLines(true);
}

TEST(SerialChannel, OpenCloseTwiceAndMissingPort) {
  Pty pty(5);
  SerialChannel ch;
  EXPECT_EQ(ch.Open(5, 115200), 1);
  EXPECT_TRUE(ch.IsOpen());
  EXPECT_EQ(ch.Close(), 0);
  EXPECT_EQ(ch.Close(), -1);
  SetComPortPath(6, "/nonexistent/tty");
  EXPECT_EQ(ch.Open(6, 115200), 0);
  EXPECT_FALSE(ch.IsOpen());
  SetComPortPath(6, nullptr);
}

TEST(SerialChannel, PortNumberIsTakenModulo256) {
  Pty pty(5);
  SerialChannel ch;
  ASSERT_EQ(ch.Open(5 + 256, 115200), 1);
  // The same device: what the far end sends shows up here.
  pty.Send("x");
  ASSERT_TRUE(WaitForBytes(ch, 1));
  EXPECT_EQ(ch.ReadByte(), 'x');
}

TEST(SerialChannel, OpenIsExclusiveAndReopeningReleasesTheOldPort) {
  Pty a(5), b(6);
  SerialChannel first, second;
  ASSERT_EQ(first.Open(5, 115200), 1);
  EXPECT_EQ(second.Open(5, 115200), 0);  // held by first
  ASSERT_EQ(first.Open(6, 115200), 1);   // first lets go of 5 ...
  EXPECT_EQ(second.Open(5, 115200), 1);  // ... so 5 is free again
  EXPECT_EQ(second.Close(), 0);
}

// Whether a tty is marked for one opener (root passes the mark, so it can look).
int ExclusiveMark(const std::string& tty) {
  const int fd = open(tty.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  int mark = -1;
  if (fd >= 0 && ioctl(fd, TIOCGEXCL, &mark) != 0) mark = -1;
  if (fd >= 0) close(fd);
  return mark;
}

// Free after the close for everyone, not only for root: a pseudo-terminal's
// slave keeps the mark while its master lives.
TEST(SerialChannel, AClosedPortCarriesNoExclusiveMark) {
  Pty pty(5);
  {
    SerialChannel ch;
    ASSERT_EQ(ch.Open(5, 115200), 1);
    if (geteuid() == 0) {
      EXPECT_EQ(ExclusiveMark(pty.slave), 1);
    }
    ch.Close();
    EXPECT_EQ(ExclusiveMark(pty.slave), 0);
    ASSERT_EQ(ch.Open(5, 115200), 1);
  }
  EXPECT_EQ(ExclusiveMark(pty.slave), 0) << "after the destructor";
}

TEST(SerialChannel, LineSettingsAreRawAtTheGivenBaud) {
  Pty pty(5);
  SerialChannel ch;
  ASSERT_EQ(ch.Open(5, 1200), 1);
  termios tio{};
  ASSERT_EQ(tcgetattr(pty.master, &tio), 0);  // the far end sees the same settings
  EXPECT_EQ(cfgetospeed(&tio), speed_t(B1200));
  EXPECT_EQ(tio.c_cflag & CSIZE, tcflag_t(CS8));
  EXPECT_EQ(tio.c_cflag & (PARENB | CSTOPB | CRTSCTS), 0u);
  EXPECT_EQ(tio.c_lflag & (ICANON | ECHO), 0u);
  EXPECT_EQ(tio.c_iflag & (IXON | IXOFF), 0u);
  ASSERT_EQ(ch.Open(5, 115200), 1);
  ASSERT_EQ(tcgetattr(pty.master, &tio), 0);
  EXPECT_EQ(cfgetospeed(&tio), speed_t(B115200));
}

TEST(SerialChannel, ReadKeepsArrivalOrderAndShortReadsAreTimeOuts) {
  Pty pty(5);
  SerialChannel ch;
  ASSERT_EQ(ch.Open(5, 115200), 1);
  pty.Send("\x01\x02");
  pty.Send("\x03\x04");
  ASSERT_TRUE(WaitForBytes(ch, 4));
  uint8_t buffer[8] = {};
  EXPECT_EQ(ch.Read(buffer, 4), 4u);
  EXPECT_EQ(std::string(reinterpret_cast<char*>(buffer), 4), "\x01\x02\x03\x04");
  // Nothing more: a short (empty) read, not an error.
  EXPECT_EQ(ch.Read(buffer, 4), 0u);
  EXPECT_EQ(ch.ReadByte(), 0);
  EXPECT_TRUE(ch.IsOpen());
  pty.Send("\x05");
  ASSERT_TRUE(WaitForBytes(ch, 1));
  EXPECT_EQ(ch.Read(buffer, 3), 1u);
  EXPECT_EQ(buffer[0], 5);
}

TEST(SerialChannel, WritesReachTheFarEnd) {
  Pty pty(5);
  SerialChannel ch;
  ASSERT_EQ(ch.Open(5, 115200), 1);
  EXPECT_EQ(ch.WriteText("orvenk?"), 7u);
  EXPECT_EQ(ch.WriteByte('S'), 1u);
  char got[16] = {};
  size_t total = 0;
  const Deadline deadline = Deadline::After(os::MonotonicUs(), 10000000);
  while (total < 8 && !deadline.Passed(os::MonotonicUs())) {
    ssize_t n = read(pty.master, got + total, sizeof got - total);
    if (n > 0) total += size_t(n);
  }
  EXPECT_EQ(std::string(got, total), "orvenk?S");
}

TEST(SerialChannel, PurgeDropsWaitingInput) {
  Pty pty(5);
  SerialChannel ch;
  ASSERT_EQ(ch.Open(5, 115200), 1);
  pty.Send("abc");
  ASSERT_TRUE(WaitForBytes(ch, 3));
  ch.Purge();
  EXPECT_EQ(ch.BytesAvailable(), 0u);
  ch.SetLines(false);  // no modem lines on a pseudo-terminal: harmless
  ch.SetLines(true);
  EXPECT_TRUE(ch.IsOpen());
}

TEST(SerialChannel, DeadPortClosesItself) {
  // The status query and a write each notice the far end is gone.
  for (bool byWrite : {false, true}) {
    Pty pty(5);
    SerialChannel ch;
    ASSERT_EQ(ch.Open(5, 115200), 1);
    pty.Unplug();
    if (byWrite) {
      EXPECT_EQ(ch.WriteByte('S'), 0u);
    } else {
      EXPECT_EQ(ch.BytesAvailable(), 0u);
    }
    EXPECT_FALSE(ch.IsOpen()) << byWrite;
    EXPECT_FALSE(ch.WaitForInput(1000)) << byWrite;
  }
}

TEST(ComPortPaths, LookupOrder) {
  char path[64];
  SetComPortDirectory(nullptr);
  ASSERT_TRUE(ComPortPath(1, "/dev/ttyS", path, sizeof path));
  EXPECT_STREQ(path, "/dev/ttyS0");
  SetComPortDirectory("/tmp/ports");
  ASSERT_TRUE(ComPortPath(12, "/dev/ttyS", path, sizeof path));
  EXPECT_STREQ(path, "/tmp/ports/COM12");
  SetComPortPath(12, "/dev/pts/9");
  ASSERT_TRUE(ComPortPath(12, "/dev/ttyS", path, sizeof path));
  EXPECT_STREQ(path, "/dev/pts/9");
  char tiny[4];
  EXPECT_FALSE(ComPortPath(12, "/dev/ttyS", tiny, sizeof tiny));
  SetComPortPath(12, nullptr);
  SetComPortDirectory(nullptr);
}

}  // namespace
