#include "exec/deadline.h"

#include "exec/os.h"

namespace {

class OsClock : public LinkClock {
 public:
  uint64_t NowUs() override { return os::MonotonicUs(); }
  void SleepMs(uint32_t ms) override { os::SleepUs(ms * 1000u); }
};

}  // namespace

LinkClock& SystemLinkClock() {
  static OsClock clock;
  return clock;
}
