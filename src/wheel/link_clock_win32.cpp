#include <windows.h>

#include "wheel/deadline.h"

uint64_t MonotonicUs() {
  static LARGE_INTEGER frequency = [] {
    LARGE_INTEGER f;
    if (!QueryPerformanceFrequency(&f)) f.QuadPart = 0;
    return f;
  }();
  if (frequency.QuadPart == 0) return GetTickCount64() * 1000u;
  LARGE_INTEGER counter;
  QueryPerformanceCounter(&counter);
  uint64_t c = static_cast<uint64_t>(counter.QuadPart);
  uint64_t f = static_cast<uint64_t>(frequency.QuadPart);
  return (c / f) * 1000000u + (c % f) * 1000000u / f;
}

void SleepUs(uint32_t us) {
  // Sleep works in whole milliseconds; with the 1 ms timer period that Exec
  // sets up, Sleep(1) is about a millisecond. Never Sleep(0): that would turn
  // a polling loop into a spin.
  DWORD ms = (us + 999u) / 1000u;
  Sleep(ms == 0 ? 1 : ms);
}
