#include "wheel/deadline.h"

namespace {

class SystemClock : public LinkClock {
 public:
  uint64_t NowUs() override { return MonotonicUs(); }
  void SleepMs(uint32_t ms) override { SleepUs(ms * 1000u); }
};

}  // namespace

LinkClock& SystemLinkClock() {
  static SystemClock clock;
  return clock;
}
