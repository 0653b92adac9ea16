// The SimpleMotion bus over the fake RS485 device: packets byte for byte,
// the CRC, return values, malformed replies and the time an exchange may
// hold the caller.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>

#include "drive/simple_motion.h"
#include "drive_fakes.h"

namespace {

uint16_t BitwiseCrc(const Bytes& data) {
  uint16_t crc = 0;
  for (uint8_t b : data) {
    crc ^= b;
    for (int i = 0; i < 8; ++i) crc = (crc & 1) ? (crc >> 1) ^ 0xA001 : crc >> 1;
  }
  return crc;
}

// A reply packet with a length byte; the CRC low byte first unless swapped.
Bytes Reply(const Bytes& payload, uint8_t node = 2, bool swapCrc = false, uint8_t command = 0x24) {
  Bytes p = {command, static_cast<uint8_t>(payload.size()), node};
  p.insert(p.end(), payload.begin(), payload.end());
  const uint16_t crc = BitwiseCrc(p);
  const uint8_t low = static_cast<uint8_t>(crc), high = static_cast<uint8_t>(crc >> 8);
  p.push_back(swapCrc ? high : low);
  p.push_back(swapCrc ? low : high);
  return p;
}

const Bytes kFourValues = {0xC0, 0xC0, 0xC0, 0xC6};  // ..., 6

using SimpleMotion = DriveFixture;

TEST(SimpleMotionCrc, TableDrivenCrcMatchesTheBitwiseDefinition) {
  struct Case {
    std::string bytes;
    uint16_t crc;
  } cases[] = {
      {"123456789", 0xBB3D},
      {"", 0x0000},
      {std::string("\x24\x06\x02\x82\x2A\x00\x00\x00\x02", 9), 0xCE8E},
      {std::string("\x24\x0A\x02\x80\x0A\x40\x00\x00\x80\x09\x40\x03\x85", 13), 0xF9DD},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(SmCrc16(reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size()), c.crc) << c.bytes;
  }
  std::mt19937 random(7);
  for (int n = 0; n < 200; ++n) {
    Bytes data(random() % 130);
    for (uint8_t& b : data) b = static_cast<uint8_t>(random());
    ASSERT_EQ(SmCrc16(data.data(), data.size()), BitwiseCrc(data)) << "length " << data.size();
  }
}

TEST_F(SimpleMotion, RequestsAreByteExact) {
  struct Case {
    const char* what;
    bool read;
    uint16_t address;
    int32_t value;
    Bytes packet;
  } cases[] = {
      {"554 := 2", false, 554, 2, {0x24, 0x06, 0x02, 0x82, 0x2A, 0x00, 0x00, 0x00, 0x02, 0x8E, 0xCE}},
      {"read 901", true, 901, 0,
       {0x24, 0x0A, 0x02, 0x80, 0x0A, 0x40, 0x00, 0x00, 0x80, 0x09, 0x40, 0x03, 0x85, 0xDD, 0xF9}},
      {"2533 := 3", false, 2533, 3, {0x24, 0x06, 0x02, 0x89, 0xE5, 0x00, 0x00, 0x00, 0x03, 0x1A, 0x65}},
  };
  const int32_t bus = OpenWired();
  for (const Case& c : cases) {
    int32_t value = 0;
    const SmStatus status = c.read ? SmGetParameter(bus, 2, c.address, &value) : SmSetParameter(bus, 2, c.address, c.value);
    EXPECT_EQ(status, kSmOk) << c.what;
    EXPECT_EQ(device.LastWrite(), c.packet) << c.what;
  }
  // Values and addresses are cut to their fields: a negative value is 30-bit
  // two's complement, an address keeps 14 bits.
  SmSetParameter(bus, 2, 0x4000 | 565, -1);
  Bytes expected = {0x24, 0x06, 0x02, 0x82, 0x35, 0x3F, 0xFF, 0xFF, 0xFF};
  const uint16_t crc = BitwiseCrc(expected);
  expected.push_back(static_cast<uint8_t>(crc));
  expected.push_back(static_cast<uint8_t>(crc >> 8));
  EXPECT_EQ(device.LastWrite(), expected);
  EXPECT_EQ(drive.Parameter(565), -1);
}

TEST_F(SimpleMotion, ReturnValuesDecodeBySizeAndSign) {
  struct Case {
    Bytes payload;
    std::vector<int32_t> values;  // decoded in turn; then one more gives 32 and 0
  } cases[] = {
      {{0xC5}, {5}}, {{0xFF}, {-1}}, {{0xE0, 0xDF}, {-32, 31}}, {{0xBF, 0xFF}, {-1}},
      {{0x80, 0x01, 0xA0, 0x00}, {1, -8192}},
      {{0x40, 0x00, 0x05, 0x7F, 0xFF, 0xFE}, {5, -2}},
      {{0x00, 0x00, 0x00, 0x07, 0x3F, 0xFF, 0xFF, 0xFF, 0x1F, 0xFF, 0xFF, 0xFF}, {7, -1, 536870911}},
      {{0xC1, 0x81, 0x04, 0x40, 0x27, 0x10, 0x00, 0x00, 0x00, 0x00}, {1, 0x104, 10000, 0}},
  };
  const int32_t bus = SmOpenBus("COM5");
  for (const Case& c : cases) {
    SmQueueCommand(bus, kSmSetAddress, 3);
    device.Inject(Reply(c.payload), clock.now + 500);
    ASSERT_EQ(SmExecuteQueue(bus, 2), kSmOk);
    for (int32_t expected : c.values) {
      int32_t value = 12345;
      EXPECT_EQ(SmNextReturnValue(bus, &value), kSmOk);
      EXPECT_EQ(value, expected);
    }
    int32_t past = 12345;
    EXPECT_EQ(SmNextReturnValue(bus, &past), kSmLengthError);
    EXPECT_EQ(past, 0);
  }
}

TEST_F(SimpleMotion, AValueThatRunsPastTheReplyIsALengthErrorNotOldBytes) {
  const int32_t bus = SmOpenBus("COM5");
  struct Case {
    const char* what;
    Bytes payload;
    int whole;  // values that lie inside the payload
  };
  Bytes full(120, 0xC1);
  full[119] = 0x00;  // claims four bytes in the last place of the buffer
  const Case cases[] = {
      {"3-byte value with 2 bytes left", {0xC1, 0x40, 0x00}, 1},
      {"4-byte value with 1 byte left", {0x00}, 0},
      {"2-byte value with 1 byte left", {0xC2, 0xC3, 0x80}, 2},
      {"4-byte value at the end of a full buffer", full, 119},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    // The queue leaves bytes in the buffer behind the reply that would
    // complete the cut value if it were read from there.
    for (int i = 0; i < 30; ++i) SmQueueCommand(bus, kSmValue32, 0x01020304);
    device.Inject(Reply(c.payload), clock.now + 500);
    ASSERT_EQ(SmExecuteQueue(bus, 2), kSmOk);
    int32_t value = 0;
    for (int i = 0; i < c.whole; ++i) ASSERT_EQ(SmNextReturnValue(bus, &value), kSmOk);
    value = 77;
    EXPECT_EQ(SmNextReturnValue(bus, &value), kSmLengthError);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(SmNextReturnValue(bus, &value), kSmLengthError);
  }
}

TEST_F(SimpleMotion, MalformedRepliesFailWithACommErrorAndLeaveTheLineClean) {
  Bytes longPayload(121, 0xC0);
  Bytes garbageFirst = {0x00, 0x13, 0x37};
  const Bytes good = Reply(kFourValues);
  garbageFirst.insert(garbageFirst.end(), good.begin(), good.end());
  Bytes shortReply = good;
  shortReply.pop_back();
  struct Case {
    const char* what;
    Bytes reply;
    SmStatus status;
    int32_t value;
  } cases[] = {
      {"CRC high byte first", Reply(kFourValues, 2, true), 0x29, 0},
      {"CRC wrong", [&] { Bytes b = good; b[b.size() - 2] ^= 1; return b; }(), 0x29, 0},
      {"one byte short", shortReply, 0x29, 0},
      {"nothing at all", {}, 0x29, 0},
      {"payload longer than 120 bytes", Reply(longPayload), 0x29, 0},
      {"payload class 11", {0x26, 0x02, 0xC0, 0x00, 0x00}, 0x29, 0},
      {"garbage before the start byte", garbageFirst, 0x29, 0},
      {"three values", Reply({0xC0, 0xC0, 0xC0}), 0x21, 0},
      // The node of a reply is not compared: only the addressed drive answers.
      {"another node", Reply(kFourValues, 7), kSmOk, 6},
      {"two payload bytes by class", [] {
         Bytes b = {0x02, 0x02, 0xC0, 0xC1};
         const uint16_t crc = BitwiseCrc(b);
         b.push_back(static_cast<uint8_t>(crc));
         b.push_back(static_cast<uint8_t>(crc >> 8));
         return b;
       }(), 0x21, 0},
  };
  const int32_t bus = OpenWired();
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    drive.SetSilent(true);
    device.Inject(c.reply, clock.now + 500);
    int32_t value = 99;
    EXPECT_EQ(SmGetParameter(bus, 2, 490, &value), c.status);
    EXPECT_EQ(value, c.value);
    EXPECT_EQ(device.Pending(), 0u) << "drained";
    drive.SetSilent(false);
    EXPECT_EQ(SmGetParameter(bus, 2, 490, &value), kSmOk) << "the next exchange";
    EXPECT_EQ(value, 6);
  }
}

TEST_F(SimpleMotion, AFullQueueDropsTheRequestUnsentAndReportsLength) {
  const int32_t bus = OpenWired();
  for (int i = 0; i < 29; ++i) ASSERT_EQ(SmQueueCommand(bus, kSmValue32, i), kSmOk);
  ASSERT_EQ(SmQueueCommand(bus, kSmValue24, 1), kSmOk);
  ASSERT_EQ(SmQueueLength(bus), 119);
  EXPECT_EQ(SmQueueCommand(bus, kSmSetAddress, 554), kSmLengthError);
  EXPECT_EQ(SmQueueLength(bus), 119) << "nothing of it queued";
  EXPECT_NE(SmSetParameter(bus, 2, 554, 2) & kSmLengthError, 0u);
  EXPECT_TRUE(device.writes.empty());
  EXPECT_EQ(SmQueueCommand(bus, 3, 0), kSmParameterError);
  // The dropped queue leaves nothing behind.
  EXPECT_EQ(SmSetParameter(bus, 2, 554, 2), kSmOk);
  EXPECT_EQ(device.LastWrite().size(), 11u);
}

TEST_F(SimpleMotion, NoBusMeansNoDeviceWithoutTouchingThePort) {
  EXPECT_EQ(SmCloseBus(0), kSmNoDevice);
  const int32_t bus = SmOpenBus("COM5");
  ASSERT_EQ(SmCloseBus(bus), kSmOk);
  const int calls = device.calls;
  for (int32_t handle : {-1, 10, 1000, bus}) {
    SCOPED_TRACE(handle);
    int32_t value = 55;
    EXPECT_EQ(SmGetParameter(handle, 2, 3, &value), kSmNoDevice);
    EXPECT_EQ(value, 0);
    EXPECT_EQ(SmSetParameter(handle, 2, 554, 2), kSmNoDevice);
    EXPECT_EQ(SmQueueCommand(handle, kSmSetAddress, 1), kSmNoDevice);
    EXPECT_EQ(SmExecuteQueue(handle, 2), kSmNoDevice);
    EXPECT_EQ(SmReceiveByte(handle, 0x24), kSmNoDevice);
    EXPECT_EQ(SmResetReceiver(handle, true), kSmNoDevice);
    EXPECT_EQ(SmCloseBus(handle), kSmNoDevice);
  }
  EXPECT_EQ(device.calls, calls);
}

TEST_F(SimpleMotion, TenBusesAtMost) {
  for (int i = 0; i < kSmBusCount; ++i) ASSERT_EQ(SmOpenBus("COM5"), i);
  EXPECT_EQ(SmOpenBus("COM5"), -1);
  EXPECT_EQ(SmCloseBus(4), kSmOk);
  device.openResult = SmOpenResult::kNoDevice;
  testing::internal::CaptureStdout();
  EXPECT_EQ(SmOpenBus("COM5"), -1) << "a port that does not open gives no bus";
  testing::internal::GetCapturedStdout();
  device.openResult = SmOpenResult::kOpened;
  EXPECT_EQ(SmOpenBus("COM5"), 4);
}

TEST_F(SimpleMotion, ASilentOrBabblingLineHoldsTheCallerABoundedTime) {
  struct Case {
    const char* what;
    int bytes;
    uint64_t spacingUs;
    uint64_t mostUs;  // the longest the call may take
  } cases[] = {
      // Reply time-out plus one silent drain read.
      {"silent drive", 0, 0, 400000},
      // Bytes that never make a packet: the reply has one time-out, the drain
      // at most one more, and the last read of each may start just before
      // its limit.
      {"endless junk at wire speed", 200000, 22, 800000},
      {"a byte every 150 ms", 200, 150000, 800000},
      {"a byte every 199 ms", 200, 199000, 800000},
  };
  const int32_t bus = SmOpenBus("COM5");
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    Bytes junk(static_cast<size_t>(c.bytes), 0x24);  // a start byte that always wants a length
    for (size_t i = 0; i < junk.size(); i += 3) junk[i] = 0x80;  // payload class 00
    const uint64_t start = clock.now;
    device.byteUs = c.spacingUs;
    device.Inject(junk, start + 1);
    int32_t value = 1;
    EXPECT_EQ(SmGetParameter(bus, 2, 901, &value), 0x29u);
    EXPECT_LE(clock.now - start, c.mostUs);
    if (c.bytes == 0) {
      EXPECT_EQ(clock.now - start, c.mostUs) << "exactly two read time-outs";
    }
    clock.now += 100000000;  // the rest of the junk is old news
    SmPortDiscardInput(0);
    device.byteUs = 22;
  }
}

TEST_F(SimpleMotion, AReplyTooLateForItsExchangeIsNotTakenForTheNext) {
  const int32_t bus = OpenWired();
  // A reply to some earlier request is already waiting when this one goes out.
  device.Inject(Reply({0xC0, 0xC0, 0xC0, 0x80, 0x4D}), clock.now - 1000);
  int32_t value = 0;
  EXPECT_EQ(SmGetParameter(bus, 2, 490, &value), kSmOk);
  EXPECT_EQ(value, 6);
}

TEST_F(SimpleMotion, AFailedSendDecodesNothingFromThePreviousReply) {
  const int32_t bus = SmOpenBus("COM5");
  // A reply longer than the next request's four values, left unread.
  SmQueueCommand(bus, kSmSetAddress, 3);
  device.Inject(Reply(Bytes(24, 0x41)), clock.now + 500);
  ASSERT_EQ(SmExecuteQueue(bus, 2), kSmOk);
  device.writeResult = -1;
  int32_t value = 99;
  const SmStatus status = SmGetParameter(bus, 2, 490, &value);
  EXPECT_NE(status & kSmBusError, 0u);
  EXPECT_NE(status & kSmLengthError, 0u);
  EXPECT_EQ(value, 0) << "nothing of the reply before";
}

TEST(SimpleMotionText, StatusTextNamesEveryBitSet) {
  struct Case {
    const char* prefix;
    SmStatus status;
    const char* text;
  } cases[] = {
      {"Error reading version", 1, "Ok"},
      {"Error reading version", 0x29, "Error reading version : 0x29 ->- Comm - Length "},
      {"Write", 0x3F, "Write : 0x3f ->- No Device - Bus - Comm - Parameter - Length "},
      {"Open", 2, "Open : 0x2 ->- No Device "}, {"Odd", 0x40, "Odd : 0x40 ->"}, {"Zero", 0, "Zero : 0x0 ->"},
  };
  for (const Case& c : cases) {
    char out[kSmStatusTextSize];
    EXPECT_STREQ(SmStatusText(c.prefix, c.status, out, sizeof out), c.text);
  }
  const std::string longPrefix(200, 'p');
  char out[300];
  EXPECT_EQ(std::strlen(SmStatusText(longPrefix.c_str(), 0x29, out, sizeof out)), 127u);
}

// An adapter whose receiver stays on hands the request back: alone that is
// a silent line (not the address asked for as the value), and the drive's
// reply behind it is still read.
TEST_F(SimpleMotion, TheRequestHeardBackIsNoReply) {
  device.echo = true;
  const int32_t bus = SmOpenBus("COM5");
  int32_t value = -1;
  EXPECT_EQ(SmGetParameter(bus, 2, 3, &value) & kSmCommError, kSmCommError);
  EXPECT_EQ(value, 0);
  SmCloseBus(bus);
  drive.SetParameter(490, 7);
  EXPECT_EQ(SmGetParameter(OpenWired(), 2, 490, &value), kSmOk);
  EXPECT_EQ(value, 7);
}

}  // namespace
