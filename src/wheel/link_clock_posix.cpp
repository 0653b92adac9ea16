#include <cerrno>
#include <ctime>

#include "wheel/deadline.h"

uint64_t MonotonicUs() {
  timespec now{};
  clock_gettime(CLOCK_MONOTONIC, &now);
  return static_cast<uint64_t>(now.tv_sec) * 1000000u + static_cast<uint64_t>(now.tv_nsec) / 1000u;
}

void SleepUs(uint32_t us) {
  timespec left{static_cast<time_t>(us / 1000000u), static_cast<long>(us % 1000000u) * 1000L};
  // A signal (the stand-in board's tool uses them) must not cut a pause short.
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}
