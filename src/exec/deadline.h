#pragma once
// Deadline arithmetic for the bounded waits of the device links, in
// microseconds of a monotonic clock, and the clock those waits read. The
// current time is always passed in, so the same code runs on the real clock
// and on a test's stepped clock.
#include <cstdint>

struct Deadline {
  uint64_t endUs = 0;

  static Deadline After(uint64_t nowUs, uint64_t budgetUs) { return Deadline{nowUs + budgetUs}; }
  bool Passed(uint64_t nowUs) const { return nowUs >= endUs; }
  uint64_t RemainingUs(uint64_t nowUs) const { return nowUs >= endUs ? 0 : endUs - nowUs; }
  // The next sleep of a polling loop: what is left, but never more than stepUs,
  // so a loop that waits in steps ends within one step of its deadline.
  uint32_t NextStepUs(uint64_t nowUs, uint32_t stepUs) const {
    uint64_t left = RemainingUs(nowUs);
    return left < stepUs ? static_cast<uint32_t>(left) : stepUs;
  }
};

// The time source and pause of a link. The program uses the system one
// (os::MonotonicUs, os::SleepUs); tests hand a link a stepped clock so that
// protocol tests never sleep.
class LinkClock {
 public:
  virtual ~LinkClock() = default;
  virtual uint64_t NowUs() = 0;
  virtual void SleepMs(uint32_t ms) = 0;
};

LinkClock& SystemLinkClock();
