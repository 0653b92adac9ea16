// An RS485 adapter whose receiver stays on hands every request back. The
// request heard back is no reply: alone it is a silent line, and the drive's
// reply behind it is still read.
#include <gtest/gtest.h>

#include "drive/simple_motion.h"
#include "drive_fakes.h"

using SimpleMotionEcho = DriveFixture;

TEST_F(SimpleMotionEcho, AnEchoAloneIsNoReply) {
  device.echo = true;
  const int32_t bus = SmOpenBus("COM5");  // no drive on the bus
  ASSERT_GE(bus, 0);
  int32_t version = -1;
  EXPECT_EQ(SmGetParameter(bus, 2, 3, &version) & kSmCommError, kSmCommError);
  EXPECT_EQ(version, 0) << "the requested address must not come back as the value";
  EXPECT_NE(SmSetParameter(bus, 2, 554, 2), kSmOk);
}

TEST_F(SimpleMotionEcho, TheDrivesReplyBehindTheEchoIsRead) {
  device.echo = true;
  drive.SetParameter(490, 7);
  const int32_t bus = OpenWired();
  int32_t value = 0;
  EXPECT_EQ(SmGetParameter(bus, 2, 490, &value), kSmOk);
  EXPECT_EQ(value, 7);
  EXPECT_EQ(SmSetParameter(bus, 2, 490, 9), kSmOk);
  EXPECT_EQ(drive.Parameter(490), 9);
}
