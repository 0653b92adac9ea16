// Fuzz target: the wheel link against a board that answers with arbitrary
// bytes. The input is the board's whole side of the conversation; each read
// takes the next bytes (a count byte says how many arrive per request, so
// replies come short, long, late or mixed with noise). Every operation that
// reads the board runs over it: the handshake collector, the bulk parameter
// read, a write, the status refresh with its version read, the calibrate and
// centre commands and the "#" reports. Nothing may crash, hang or read past
// what arrived, and the link state stays one of its five values.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "exec/deadline.h"
#include "fuzz_runtime.h"
#include "wheel/serial_channel.h"
#include "wheel/wheel_link.h"

namespace {

class StepClock : public LinkClock {
 public:
  uint64_t now = 1000000;
  uint64_t NowUs() override { return now; }
  void SleepMs(uint32_t ms) override { now += uint64_t{ms} * 1000u; }
};

// A port whose incoming bytes are the fuzz input. Every write releases the
// next chunk of input (its length is the chunk's first byte, low 6 bits) as
// the reply; time passes with each wait so every bounded loop ends.
class FuzzChannel : public SerialChannel {
 public:
  FuzzChannel(StepClock& clock, const uint8_t* data, size_t size) : clock_(clock), data_(data), size_(size) {}
  ~FuzzChannel() override { handle_ = kInvalidHandle; }

  int Open(uint32_t, uint32_t) override {
    handle_ = 1;
    return 1;
  }
  int Close() override {
    if (!IsOpen()) return -1;
    handle_ = kInvalidHandle;
    available_ = 0;
    return 1;
  }
  uint32_t Write(const void*, uint32_t count) override {
    if (!IsOpen()) return 0;
    Release();
    return count;
  }
  uint32_t Read(void* data, uint32_t count) override {
    if (!IsOpen()) return 0;
    uint32_t got = 0;
    auto* out = static_cast<uint8_t*>(data);
    while (got < count && available_ > 0) {
      out[got++] = data_[position_++];
      --available_;
    }
    clock_.now += 1000;  // a read that comes up short waited its time-out
    return got;
  }
  uint32_t BytesAvailable() override { return IsOpen() ? available_ : 0; }
  uint8_t ReadByte() override {
    uint8_t byte = 0;
    Read(&byte, 1);
    return byte;
  }
  uint32_t WriteByte(uint8_t value) override { return Write(&value, 1); }
  void Purge() override {
    position_ += available_;
    available_ = 0;
  }
  void SetLines(bool) override {}
  bool WaitForInput(uint32_t maxUs) override {
    clock_.now += maxUs > 0 ? maxUs : 1;
    if (available_ == 0 && (++idleWaits_ & 7) == 0) Release();  // late bytes now and then
    return available_ > 0;
  }

 private:
  void Release() {
    if (position_ + available_ >= size_) return;
    const size_t head = position_ + available_;
    const uint32_t chunk = data_[head] & 0x3F;
    // The length byte itself is swallowed as line noise the reply starts with.
    const size_t left = size_ - head;
    available_ += static_cast<uint32_t>(chunk + 1 < left ? chunk + 1 : left);
  }

  StepClock& clock_;
  const uint8_t* data_;
  size_t size_;
  size_t position_ = 0;
  uint32_t available_ = 0;
  uint32_t idleWaits_ = 0;
};


void CheckState(const WheelLink& link) {
  if (link.linkState > kWheelError) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!StartRuntimeOnce(0x800000) || size < 2) return 0;
  const uint8_t plan = data[0];
  StepClock clock;
  FuzzChannel channel(clock, data + 1, size - 1);
  WheelLink link;
  link.channel = &channel;
  link.clock = &clock;
  link.statusHold = false;
  link.wheelPort = 7;
  const uint64_t start = clock.now;

  link.ProbeWheel(7);
  CheckState(link);
  if (plan & 1) link.linkState = kWheelFound;  // read on even when the handshake failed
  link.ReadAllParameters();
  CheckState(link);
  link.WriteParameter(link[kEntryMainGain]);
  for (int i = 0; i < 3; ++i) {
    link.RefreshStatus();
    while (link.ProbePending()) {
      clock.now += 33000;
      link.ContinueProbe();
    }
    clock.now += 1001000;
    CheckState(link);
  }
  if (plan & 2) link.StartCalibration();
  if (plan & 4) link.CentreWheel();
  link[kEntryDebugLevel].value = 1 + (plan >> 6);
  for (int i = 0; i < 8; ++i) link.ReadBoardReports();
  CheckState(link);
  // Every wait is bounded: a whole session of replies fits in simulated minutes.
  if (clock.now - start > 600ull * 1000 * 1000) __builtin_trap();
  channel.Close();
  return 0;
}
