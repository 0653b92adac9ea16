#pragma once
// A stepped clock for the deadline helpers: sleeping only moves it on, so
// tests of time never sleep.
#include <cstdint>

#include "exec/deadline.h"

class FakeClock : public LinkClock {
 public:
  uint64_t now = 1000000;  // 1 s, so the 32-bit millisecond tick is not 0
  uint64_t sleptMs = 0;
  uint64_t NowUs() override { return now; }
  void SleepMs(uint32_t ms) override {
    now += uint64_t{ms} * 1000u;
    sleptMs += ms;
  }
};
