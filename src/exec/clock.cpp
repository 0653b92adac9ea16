// The performance-counter clock: 10,000 units per second, never running backwards.
#include <cstdlib>

#include "exec/os.h"
#include "exec/task.h"

namespace {

bool gPerfAvailable = false;
uint64_t gPerfFrequency = 0;
uint64_t gStartCounter = 0;
ExecClock* gClock = nullptr;
bool gTimerPeriodBegun = false;

// The HTTP client's thread may read the clock too: the last reading only ever
// moves forwards, whoever wins.
uint64_t AdvanceLastReading(ExecClock* clock, uint64_t reading) {
  uint64_t last = __atomic_load_n(&clock->lastReading, __ATOMIC_RELAXED);
  while (reading > last) {
    if (__atomic_compare_exchange_n(&clock->lastReading, &last, reading, true, __ATOMIC_RELAXED,
                                    __ATOMIC_RELAXED)) {
      return reading;
    }
  }
  return last;
}

// elapsed × rate ÷ frequency without the overflow of the plain product, which
// a nanosecond counter would reach after three weeks.
uint64_t ScaleTicks(uint64_t elapsed, uint32_t rate, uint64_t frequency) {
  return elapsed / frequency * rate + elapsed % frequency * rate / frequency;
}

uint64_t ReadTime64(ExecClock* clock) {
  uint64_t reading = 0;
  if (!os::PerfCounter(&reading)) reading = 0;
  uint64_t last = AdvanceLastReading(clock, reading);
  uint64_t time = ScaleTicks(last - clock->base, clock->rate, gPerfFrequency);
  __atomic_store_n(&clock->lastTime, time, __ATOMIC_RELAXED);
  return time;
}

}  // namespace

bool StartClock() {
  if (gClock != nullptr) return true;
  uint64_t start = 0;
  uint64_t frequency = 0;
  if (!os::PerfCounter(&start)) start = 0;
  if (!os::PerfFrequency(&frequency)) frequency = 0;
  gStartCounter = start;
  gPerfFrequency = frequency;
  if (!gTimerPeriodBegun) {
    os::BeginTimerPeriod();
    gTimerPeriodBegun = true;
  }
  if (frequency == 0) {
    gPerfAvailable = false;
    return false;
  }
  gClock = static_cast<ExecClock*>(calloc(1, sizeof(ExecClock)));
  if (gClock == nullptr) {
    gPerfAvailable = false;
    return false;
  }
  gClock->lastReading = start;
  gClock->base = start;
  gClock->calibrationDelayMs = 2000;
  gClock->recalibration = 0xFFFFFFFFu;
  gClock->rate = 1000;
  gClock->extra0 = 4;
  gClock->extra1 = 1;
  gPerfAvailable = true;
  // The runtime only ever uses the counter, at 100 µs per unit.
  gClock->mode = 2;
  gClock->rate = 10000;
  return true;
}

void RemoveClock() {
  free(gClock);
  gClock = nullptr;
  gPerfAvailable = false;
  if (gTimerPeriodBegun) {
    os::EndTimerPeriod();
    gTimerPeriodBegun = false;
  }
}

ExecClock* Clock() { return gClock; }

uint32_t ReadTime(ExecClock* clock) {
  if (clock == nullptr || gPerfFrequency == 0) return static_cast<uint32_t>(os::TickMs() * 10);
  return static_cast<uint32_t>(ReadTime64(clock));
}

// The full 64-bit time: the low 32 bits of it, × 100, would wrap after five days.
uint64_t TimeMicroseconds() {
  if (gPerfAvailable && gClock != nullptr) return ReadTime64(gClock) * 100;
  return os::TickMs() * 1000;
}
