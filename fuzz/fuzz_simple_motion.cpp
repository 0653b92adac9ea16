// Fuzz target: the SimpleMotion receiver and return-value decoder against a
// drive that answers with arbitrary bytes. The input is cut into replies (a
// length byte, then that many bytes); each answers one exchange of the drive
// link's kinds (a read, a write, a queued command of each size), and the same
// bytes also go straight through the receive state machine and the decoder.
// Nothing may crash or read past the reply, every exchange ends within its
// bounds on the simulated clock, and the status text stays within its size.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "drive/simple_motion.h"
#include "drive/sm_port.h"
#include "exec/deadline.h"

namespace {

class StepClock : public LinkClock {
 public:
  uint64_t now = 5000000;
  uint64_t NowUs() override { return now; }
  void SleepMs(uint32_t ms) override { now += uint64_t{ms} * 1000u; }
};

StepClock gClock;

// Serves the current reply byte by byte; a read with nothing left costs its
// time-out on the clock, as the real port would.
class FuzzDevice : public SmPortDevice {
 public:
  const uint8_t* reply = nullptr;
  size_t length = 0;
  size_t position = 0;

  SmOpenResult Open(const char*, uint16_t, intptr_t* handle) override {
    *handle = 1;
    return SmOpenResult::kOpened;
  }
  int32_t Write(intptr_t, const uint8_t*, int32_t count) override { return count; }
  bool ReadByte(intptr_t, uint16_t timeoutMs, uint8_t* byte) override {
    if (position >= length) {
      gClock.now += uint64_t{timeoutMs} * 1000u;
      return false;
    }
    gClock.now += 22;
    *byte = reply[position++];
    return true;
  }
  void DiscardInput(intptr_t) override { position = length; }
  void Close(intptr_t) override {}
};

FuzzDevice gDevice;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static bool ready = [] {
    SetSmPortDevice(&gDevice);
    SetSimpleMotionClock(&gClock);
    return true;
  }();
  (void)ready;
  const int32_t bus = SmOpenBus("COM3");
  if (bus < 0) __builtin_trap();
  size_t at = 0;
  for (int exchange = 0; at < size && exchange < 64; ++exchange) {
    const size_t length = data[at] < size - at - 1 ? data[at] : size - at - 1;
    const uint8_t* reply = data + at + 1;
    at += 1 + length;
    gDevice.reply = reply;
    gDevice.length = length;
    gDevice.position = 0;
    const uint64_t start = gClock.now;
    int32_t value = 0x5A5A5A5A;
    SmStatus status = 0;
    switch (exchange % 4) {
      case 0: status = SmGetParameter(bus, 2, static_cast<uint16_t>(901 + exchange), &value); break;
      case 1: status = SmSetParameter(bus, 2, 554, exchange); break;
      case 2:
        SmQueueCommand(bus, kSmSetAddress, 490);
        status = SmExecuteQueue(bus, static_cast<uint8_t>(exchange));
        break;
      default:
        // The same bytes fed by hand, then every value decoded.
        SmResetReceiver(bus, false);
        for (size_t i = 0; i < length; ++i) SmReceiveByte(bus, reply[i]);
        for (int i = 0; i < 40; ++i) SmNextReturnValue(bus, &value);
        break;
    }
    // An exchange is bounded by its time-outs: the reply window and the drain
    // after an error, each a read time-out, and the bytes. (Bytes fed by hand
    // may drain after each error, as no exchange stops them.)
    if (exchange % 4 != 3 && gClock.now - start > 2000000ull + length * 1000ull) __builtin_trap();
    char text[kSmStatusTextSize];
    SmStatusText("Fuzz", status, text, sizeof text);
    if (strlen(text) >= sizeof text) __builtin_trap();
  }
  SmCloseBus(bus);
  return 0;
}
