// Cost of one ObtainSemaphore + ReleaseSemaphore pair: the price every pool
// operation pays under the thread-safe memory option. Builds natively and with
// mingw-w64 (run the .exe under Wine for the Win32 mutex figures).
#include <cstdio>

#include "exec/os.h"
#include "exec/task.h"

namespace {

// Rounds double until one takes this long: a native pair costs tens of
// nanoseconds, a Win32 mutex under Wine a server round trip each.
constexpr double kMinSeconds = 0.25;
constexpr int kMaxPairs = 1 << 24;

double NowSeconds() {
  static uint64_t frequency = 0;
  if (frequency == 0 && !os::PerfFrequency(&frequency)) frequency = 1;
  uint64_t counter = 0;
  os::PerfCounter(&counter);
  return static_cast<double>(counter) / static_cast<double>(frequency);
}

void Measure(const char* what, ExecSemaphore* semaphore) {
  int pairs = 1000;
  double seconds = 0;
  for (;;) {
    double start = NowSeconds();
    for (int i = 0; i < pairs; ++i) {
      ObtainSemaphore(semaphore);
      ReleaseSemaphore(semaphore);
    }
    seconds = NowSeconds() - start;
    if (seconds >= kMinSeconds || pairs >= kMaxPairs) break;
    pairs *= 2;
  }
  printf("%-44s %10.1f ns/op  (%d pairs)\n", what, seconds * 1e9 / pairs, pairs);
}

}  // namespace

int main() {
  SetInstanceIdentifier("bench_semaphore\\");
  ExecSemaphore semaphore;
  CreateSemaphore(&semaphore, "Memory manager");

  // Warm up (first-touch costs, lazily created kernel objects).
  for (int i = 0; i < 1000; ++i) {
    ObtainSemaphore(&semaphore);
    ReleaseSemaphore(&semaphore);
  }

  Measure("uncontended obtain+release", &semaphore);

  // The memory manager nests: an allocation made while a caller holds the lock.
  ObtainSemaphore(&semaphore);
  Measure("nested obtain+release (lock already held)", &semaphore);
  ReleaseSemaphore(&semaphore);

  ExecSemaphore unnamed;
  CreateSemaphore(&unnamed, nullptr);
  Measure("unnamed semaphore obtain+release", &unnamed);

  DeleteSemaphore(&unnamed);
  DeleteSemaphore(&semaphore);
  return 0;
}
