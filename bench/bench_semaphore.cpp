// Cost of one ObtainSemaphore + ReleaseSemaphore pair: the price every pool
// operation pays under the thread-safe memory option. Builds natively and with
// mingw-w64 (run the .exe under Wine for the Win32 mutex figures).
#include <cstdio>

#include "exec/os.h"
#include "exec/task.h"

namespace {

constexpr int kPairs = 1000000;

double NowSeconds() {
  static uint64_t frequency = 0;
  if (frequency == 0 && !os::PerfFrequency(&frequency)) frequency = 1;
  uint64_t counter = 0;
  os::PerfCounter(&counter);
  return static_cast<double>(counter) / static_cast<double>(frequency);
}

void Report(const char* what, double seconds, int pairs) {
  printf("%-44s %8.1f ns/op  (%d pairs)\n", what, seconds * 1e9 / pairs, pairs);
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

  double start = NowSeconds();
  for (int i = 0; i < kPairs; ++i) {
    ObtainSemaphore(&semaphore);
    ReleaseSemaphore(&semaphore);
  }
  Report("uncontended obtain+release", NowSeconds() - start, kPairs);

  // The memory manager nests: an allocation made while a caller holds the lock.
  ObtainSemaphore(&semaphore);
  start = NowSeconds();
  for (int i = 0; i < kPairs; ++i) {
    ObtainSemaphore(&semaphore);
    ReleaseSemaphore(&semaphore);
  }
  Report("nested obtain+release (lock already held)", NowSeconds() - start, kPairs);
  ReleaseSemaphore(&semaphore);

  ExecSemaphore unnamed;
  CreateSemaphore(&unnamed, nullptr);
  start = NowSeconds();
  for (int i = 0; i < kPairs; ++i) {
    ObtainSemaphore(&unnamed);
    ReleaseSemaphore(&unnamed);
  }
  Report("unnamed semaphore obtain+release", NowSeconds() - start, kPairs);

  DeleteSemaphore(&unnamed);
  DeleteSemaphore(&semaphore);
  return 0;
}
