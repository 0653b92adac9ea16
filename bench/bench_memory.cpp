// AllocMem/FreeMem against the C runtime's malloc/free on one mixed workload:
// sizes 8..512 bytes, about 4000 live blocks, release in random order, 10^6
// operations from a fixed seed. The pools run without and with the thread-safe
// option; the difference is the "Memory manager" semaphore's cost per operation.
// The pools must hand out the same blocks as a first-fit walk of the address-
// ordered free list; the figures say what that costs next to a size-class heap.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

#include "exec/log.h"
#include "exec/memory.h"

namespace {

constexpr int kOperations = 1000000;
constexpr size_t kLiveTarget = 4000;
constexpr uint32_t kFreeBit = 0x80000000u;
constexpr int kRounds = 7;

// Each entry: a size to allocate, or kFreeBit | r to release live block r % live.
std::vector<uint32_t> MakeWorkload() {
  std::mt19937 random(20240611);
  std::vector<uint32_t> ops;
  ops.reserve(kOperations);
  size_t live = 0;
  while (ops.size() < kOperations) {
    bool allocate;
    if (live < kLiveTarget / 2) allocate = true;
    else if (live > kLiveTarget * 3 / 2) allocate = false;
    else allocate = random() % 2 == 0;
    if (live == 0) allocate = true;
    if (allocate) {
      ops.push_back(8 + random() % 505);
      ++live;
    } else {
      ops.push_back(kFreeBit | (random() & 0x7FFFFFFF));
      --live;
    }
  }
  return ops;
}

template <typename Alloc, typename Free>
double RunNs(const std::vector<uint32_t>& ops, Alloc alloc, Free release) {
  std::vector<void*> live;
  live.reserve(kLiveTarget * 2);
  auto start = std::chrono::steady_clock::now();
  for (uint32_t op : ops) {
    if (op & kFreeBit) {
      size_t at = (op & ~kFreeBit) % live.size();
      release(live[at]);
      live[at] = live.back();
      live.pop_back();
    } else {
      auto* p = static_cast<unsigned char*>(alloc(op));
      p[0] = 1;
      live.push_back(p);
    }
  }
  auto end = std::chrono::steady_clock::now();
  for (void* p : live) release(p);
  return std::chrono::duration<double, std::nano>(end - start).count() / ops.size();
}

// The pools' steady state: how many free blocks the list holds, measured on one
// pass stopped midway.
uint32_t FreeBlocksMidway(const std::vector<uint32_t>& ops) {
  std::vector<uint32_t> half(ops.begin(), ops.begin() + ops.size() / 2);
  std::vector<void*> live;
  for (uint32_t op : half) {
    if (op & kFreeBit) {
      size_t at = (op & ~kFreeBit) % live.size();
      FreeMem(live[at]);
      live[at] = live.back();
      live.pop_back();
    } else {
      live.push_back(AllocMem(0, op));
    }
  }
  const uint32_t count = CountFreeBlocks();
  for (void* p : live) FreeMem(p);
  return count;
}

}  // namespace

int main() {
  const std::vector<uint32_t> ops = MakeWorkload();
  // One pool made with the thread-safe option (so the semaphore exists); the
  // option bit is read on every call, so rounds switch it on and off. The three
  // contenders take turns, so that a busy machine slows all of them alike; each
  // keeps its best round.
  gMemOptions = kMemThreadSafe;
  if (!_InitAlloc(0x2000000, 0, false)) {
    std::fprintf(stderr, "bench_memory: the pools could not be made\n");
    return 1;
  }
  auto poolAlloc = [](size_t size) { return AllocMem(0, size); };
  auto poolFree = [](void* p) { FreeMem(p); };
  double mallocNs = 1e30;
  double plainNs = 1e30;
  double lockedNs = 1e30;
  for (int round = 0; round < kRounds; ++round) {
    mallocNs = std::min(mallocNs, RunNs(ops, [](size_t size) { return std::malloc(size); }, [](void* p) { std::free(p); }));
    gMemOptions &= ~kMemThreadSafe;
    plainNs = std::min(plainNs, RunNs(ops, poolAlloc, poolFree));
    gMemOptions |= kMemThreadSafe;
    lockedNs = std::min(lockedNs, RunNs(ops, poolAlloc, poolFree));
  }
  const uint32_t freeBlocks = FreeBlocksMidway(ops);
  RemoveAlloc();
  gMemOptions = 0;

  std::printf("workload: %d operations, sizes 8..512, ~%zu live blocks, random release order\n",
              kOperations, kLiveTarget);
  std::printf("malloc/free                 %7.1f ns/op\n", mallocNs);
  std::printf("AllocMem/FreeMem            %7.1f ns/op  %.2fx malloc  (%u free blocks midway)\n",
              plainNs, plainNs / mallocNs, freeBlocks);
  std::printf("AllocMem/FreeMem thread-safe %6.1f ns/op  %.2fx malloc\n", lockedNs,
              lockedNs / mallocNs);
  std::printf("semaphore (obtain+release)  %7.1f ns/op\n", lockedNs - plainNs);
  return 0;
}
