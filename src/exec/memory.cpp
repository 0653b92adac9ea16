// The memory manager's entries: pool set-up and removal, AllocMem/FreeMem with
// their debugging options, statistics, and the routing of the program's new and
// delete. The pools themselves are in mempool.cpp, the check tables and free-list
// walks in memdebug.cpp.
#include "exec/memory.h"

#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "exec/log.h"
#include "exec/memory_internal.h"
#include "exec/os.h"
#include "exec/task.h"

uint32_t gMemOptions = 0;
uint32_t gMemBreakAtNumber = 0xFFFFFFFF;
uintptr_t gMemBreakAtAddress = ~uintptr_t{0};

namespace mem {
namespace {

const char kModule[] = "Exec\\Memory";
constexpr uint32_t kMinMainSize = 0x800000;   // 8 MiB
constexpr uint32_t kMainSizeStep = 0x2000000; // 32 MiB
constexpr int kMaxPools = 128;

ExecList gPoolList;
bool gPoolListRegistered = false;
bool gHostHeap = false;
bool gDebugPoolPresent = false;
ExecSemaphore gSemaphore;
bool gSemaphoreMade = false;
// Allocations are counted outside the lock; the counter itself must not lose counts.
std::atomic<uint32_t> gSequence{0};

// Address ranges of the live pools, read without the lock by IsPoolAddress on
// every delete. Pools change only in _InitAlloc and RemoveAlloc, which run
// before any other thread exists and after they have ended.
struct Range {
  uintptr_t low;
  uintptr_t high;
};
Range gLive[2];
int gLiveCount = 0;
// Ranges of pools already given back, so that an object outliving Exec remove is
// dropped instead of being handed to the C runtime as if it were its own.
constexpr int kRetiredSlots = 8;
Range gRetired[kRetiredSlots];
int gRetiredNext = 0;

bool InRange(const Range& range, uintptr_t at) { return at >= range.low && at < range.high; }

void AddPool(MemPool* pool) {
  Enqueue(&gPoolList.list, &pool->node);
  gLive[gLiveCount++] = Range{reinterpret_cast<uintptr_t>(pool->start),
                              reinterpret_cast<uintptr_t>(pool->end)};
}

// Gives the pool list back its empty state and the pools back to the host.
void DropPools() {
  MemPool* pools[kMaxPools];
  int count = 0;
  for (ExecNode* node = FirstNode(&gPoolList.list); node != nullptr && count < kMaxPools;
       node = NextNode(node)) {
    pools[count++] = reinterpret_cast<MemPool*>(node);
  }
  InitListHeader(&gPoolList.list);
  gLiveCount = 0;
  for (int i = 0; i < count; ++i) {
    MemPool* pool = pools[i];
    if (pool->id != kMainPoolId && pool->id != kDebugPoolId) continue;
    gRetired[gRetiredNext] = Range{reinterpret_cast<uintptr_t>(pool->start),
                                   reinterpret_cast<uintptr_t>(pool->end)};
    gRetiredNext = (gRetiredNext + 1) % kRetiredSlots;
    uint8_t* host = pool->start;
    DestroyPoolIndex(pool);
    os::HostFree(host);
  }
  gDebugPoolPresent = false;
}

void Unregister() {
  if (gPoolListRegistered) RemoveNode(&gPoolList.node);
  gPoolListRegistered = false;
  if (gSemaphoreMade) DeleteSemaphore(&gSemaphore);
  gSemaphoreMade = false;
}

void Assert(const char* message) { EXEC_ASSERT(kModule, message); }

}  // namespace

ExecList* PoolList() { return &gPoolList; }
bool DebugPoolPresent() { return gDebugPoolPresent; }

MemPool* PoolOfAddress(const void* address) {
  auto at = reinterpret_cast<uintptr_t>(address);
  for (ExecNode* node = FirstNode(&gPoolList.list); node != nullptr; node = NextNode(node)) {
    auto* pool = reinterpret_cast<MemPool*>(node);
    if (at >= reinterpret_cast<uintptr_t>(pool->start) && at < reinterpret_cast<uintptr_t>(pool->end)) {
      return pool;
    }
  }
  return nullptr;
}

bool LockPools() {
  if (!(gMemOptions & kMemThreadSafe) || !gSemaphoreMade) return false;
  // A time-out (already logged with a beep) is not ownership: going on would let
  // two threads into the free list. Keep waiting instead.
  for (;;) {
    ObtainResult result = ObtainSemaphore(&gSemaphore);
    if (result == ObtainResult::kOwned) return true;
    if (result == ObtainResult::kFailed) return false;
  }
}

void UnlockPools(bool held) {
  if (held) ReleaseSemaphore(&gSemaphore);
}

}  // namespace mem

using namespace mem;

uint32_t BlockSizeFor(size_t requested) {
  if (requested > UINT32_MAX - 4 - (kBlockAlign - 1)) return 0;
  uint32_t size = (static_cast<uint32_t>(requested) + 4 + kBlockAlign - 1) & ~(kBlockAlign - 1);
  return size < kMinBlock ? kMinBlock : size;
}

bool MemoryReady() { return (gMemOptions & kMemReady) != 0; }

bool _InitAlloc(uint32_t mainSize, uint32_t debugSize, bool hostHeap) {
  // A retry after a failure starts from a clean state.
  Unregister();
  DropPools();
  InitList(&gPoolList, "Memory free list", nullptr, kNodeMemPool);
  AddTail(&AnchorList()->list, &gPoolList.node);
  gPoolListRegistered = true;
  gDebugPoolPresent = false;
  gSequence = 0;
  ResetWalkLimit();
  DropCheckTables();
  if (gMemOptions & kMemThreadSafe) {
    CreateSemaphore(&gSemaphore, "Memory manager");
    if (gSemaphore.handle == nullptr) {
      // Without its lock every call would run unlocked (and say so in a box):
      // the manager does not start. The assert has been shown once already.
      RemoveNode(&gSemaphore.node);
      gSemaphore.node.type = kNodeRemoved;
      Unregister();
      LogPrintf(0, "_InitAlloc: no \"Memory manager\" semaphore, the memory manager does not start\n");
      return false;
    }
    gSemaphoreMade = true;
  }
  gHostHeap = hostHeap;

  if (!hostHeap) {
    const bool guards = (gMemOptions & kMemGuards) != 0;
    const bool fill = (gMemOptions & kMemFill) != 0;
    if (debugSize != 0) {
      auto* host = static_cast<uint8_t*>(os::HostAlloc(debugSize));
      if (host != nullptr) {
        if (fill) std::memset(host, 0xAA, debugSize);
        MemPool* pool = MakePool(host, debugSize, kDebugPoolId, "Debug (safe) ram", -5, guards);
        if (pool != nullptr) {
          AddPool(pool);
          gDebugPoolPresent = true;
        } else {
          os::HostFree(host);  // too small to hold a block; a debug pool is optional
        }
      }
    }

    uint32_t size = mainSize;
    MemPool* mainPool = nullptr;
    while (size >= kMinMainSize) {
      auto* host = static_cast<uint8_t*>(os::HostAlloc(size));
      if (host != nullptr) {
        if (fill) std::memset(host, 0xAA, size);
        mainPool = MakePool(host, size, kMainPoolId, "Main ram", 0, guards);
        if (mainPool != nullptr) break;
        os::HostFree(host);  // its index could not be had: try smaller, like the pool
      }
      if (size - kMinMainSize < kMainSizeStep) break;  // the next try would fall below 8 MiB
      size -= kMainSizeStep;
    }
    if (mainPool == nullptr) {
      SetLogSwitch(1);
      char message[96];
      std::snprintf(message, sizeof message, "_InitAlloc: Could not allocate %lu bytes from host.",
                    static_cast<unsigned long>(size));
      DropPools();
      Unregister();
      EXEC_ASSERT(kModule, message);
      return false;
    }
    AddPool(mainPool);
    if ((gMemOptions & kMemCheck) && gDebugPoolPresent) CreateCheckTables();
  }
  gMemOptions |= kMemReady;
  return true;
}

void RemoveAlloc() {
  gMemOptions &= ~kMemReady;
  gHostHeap = false;  // from here on AllocMem has no pool and says so
  DropCheckTables();
  DropPools();
  Unregister();
}

void* AllocMem(uint16_t poolId, size_t size) {
  if (gHostHeap) return std::malloc(size != 0 ? size : 1);
  uint32_t sequence = 0;
  if (poolId != kDebugPoolId) {
    // Only other threads need the locked increment.
    if (gMemOptions & kMemThreadSafe) {
      sequence = gSequence.fetch_add(1, std::memory_order_relaxed) + 1;
    } else {
      sequence = gSequence.load(std::memory_order_relaxed) + 1;
      gSequence.store(sequence, std::memory_order_relaxed);
    }
    if (sequence == gMemBreakAtNumber) {
      char message[48];
      std::snprintf(message, sizeof message, "Alloc N\xB0: 0x%x done here", sequence);
      Assert(message);
    }
  }
  const uint32_t blockSize = BlockSizeFor(size);
  const bool held = LockPools();
  if (gMemOptions & kMemCheck) WalkFreeLists();
  uint8_t* block = nullptr;
  MemPool* from = nullptr;
  if (blockSize != 0) {
    // FirstNode also copes with the never-initialised list of a process that
    // has not started the pools yet: the request then fails cleanly.
    for (ExecNode* node = FirstNode(&gPoolList.list); node != nullptr; node = NextNode(node)) {
      auto* pool = reinterpret_cast<MemPool*>(node);
      if (pool->id != poolId) continue;
      block = pool->allocate(pool, blockSize);
      if (block != nullptr) {
        from = pool;
        break;
      }
    }
  }
  if (block == nullptr) {
    Assert("AllocMem: Could not allocate memory\n");
    UnlockPools(held);
    return nullptr;
  }
  StoreU32(block, blockSize);
  if ((gMemOptions & kMemCheck) && gDebugPoolPresent && from->id != kDebugPoolId &&
      CheckTablesPresent()) {
    uint8_t context[kCheckContextSize] = {};
    const void* caller = __builtin_return_address(0);
    std::memcpy(context, &caller, sizeof caller);
    if (!AddCheckEntry(sequence, block, blockSize,
                       (gMemOptions & kMemCaptureContext) ? context : nullptr)) {
      Assert("Could not find mem check node");
    }
  }
  UnlockPools(held);
  if (gMemOptions & kMemFill) std::memset(block + 4, 0x11, blockSize - 4);
  if (reinterpret_cast<uintptr_t>(block) == gMemBreakAtAddress) {
    char message[64];
    std::snprintf(message, sizeof message, "Alloc adr: 0x%llx done here",
                  static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(block)));
    Assert(message);
  }
  return block + 4;
}

void FreeMem(void* address) {
  if (gHostHeap) {
    std::free(address);
    return;
  }
  if (address == nullptr) {
    if (gMemOptions & kMemStrictRelease) Assert("FreeMem: Free NULL address");
    return;
  }
  uint8_t* block = static_cast<uint8_t*>(address) - 4;
  const bool held = LockPools();
  MemPool* pool = PoolOfAddress(block);
  FreeNeighbours around;
  uint32_t blockSize = 0;
  const ReleaseCheck check =
      pool != nullptr ? CheckRelease(pool, block, &around, &blockSize) : ReleaseCheck::kNotABlock;
  if (check != ReleaseCheck::kNotABlock && check != ReleaseCheck::kAlreadyFree &&
      (gMemOptions & kMemCheck) && gDebugPoolPresent && pool->id != kDebugPoolId) {
    // Cleared under the lock: an entry add may be moving the region's table.
    ClearCheckEntry(block);
  }
  switch (check) {
    case ReleaseCheck::kReleasable:
      pool->release(pool, block, blockSize, around);
      if (gMemOptions & kMemCheck) WalkFreeLists();
      UnlockPools(held);
      return;
    case ReleaseCheck::kNotABlock: {
      // Not a block of ours: releasing it would corrupt the free list.
      UnlockPools(held);
      char message[80];
      std::snprintf(message, sizeof message, "FreeMem: Address 0x%llx is not a memory block.",
                    static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(address)));
      Assert(message);
      return;
    }
    case ReleaseCheck::kAlreadyFree:
      // A second release would link the block twice. The free list stays as it
      // is; the report is the strict-release option's.
      if (gMemOptions & kMemStrictRelease) {
        char message[64];
        std::snprintf(message, sizeof message, "FreeMem: Address %llx already free.\n",
                      static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(block)));
        Assert(message);
      }
      UnlockPools(held);
      return;
    case ReleaseCheck::kStartDamaged:
    case ReleaseCheck::kEndDamaged:
      // The block stays allocated for good: its neighbours cannot be trusted.
      UnlockPools(held);
      Assert(check == ReleaseCheck::kStartDamaged ? "FreeMem: Start Header corrupted."
                                                  : "FreeMem: End Header corrupted.");
      return;
  }
}

uint32_t GetMemSize(const void* address) {
  if (address == nullptr || gHostHeap) return 0;
  const uint8_t* block = static_cast<const uint8_t*>(address) - 4;
  if (PoolOfAddress(block) == nullptr) return 0;
  return LoadU32(block);
}

namespace {

template <typename Visit>
void ForMainPools(Visit visit) {
  const bool held = LockPools();
  for (ExecNode* node = FirstNode(&gPoolList.list); node != nullptr; node = NextNode(node)) {
    auto* pool = reinterpret_cast<MemPool*>(node);
    if (pool->id == kMainPoolId) visit(pool);
  }
  UnlockPools(held);
}

}  // namespace

uint64_t TotalPoolMem() {
  uint64_t total = 0;
  ForMainPools([&](MemPool* pool) { total += static_cast<uint64_t>(pool->end - pool->start); });
  return total;
}

uint64_t AvailPoolMem() {
  uint64_t total = 0;
  ForMainPools([&](MemPool* pool) { total += pool->freeBytes; });
  return total;
}

uint64_t EmptyPoolOverhead() {
  uint64_t total = 0;
  ForMainPools([&](MemPool* pool) {
    total += static_cast<uint64_t>(pool->end - pool->start) - pool->initialFree;
  });
  return total;
}

uint64_t HeldPoolMem() {
  uint64_t total = 0;
  ForMainPools([&](MemPool* pool) {
    // The pool's blocks tile its block area with one gap between neighbours:
    // initialFree = allocated sizes + free sizes + (blocks - 1) gaps. Giving every
    // allocated block one gap leaves (free blocks - 1) gaps to nobody.
    uint64_t freeBlocks = 0;
    for (uint8_t* block = FirstFree(pool); block != TailPseudo(pool); block = NextFree(block)) {
      ++freeBlocks;
    }
    total += static_cast<uint64_t>(pool->initialFree) + pool->gap - pool->freeBytes -
             freeBlocks * pool->gap;
  });
  return total;
}

uint32_t GetMemHeld(const void* address) {
  if (address == nullptr || gHostHeap) return 0;
  const uint8_t* block = static_cast<const uint8_t*>(address) - 4;
  const MemPool* pool = PoolOfAddress(block);
  if (pool == nullptr) return 0;
  return LoadU32(block) + pool->gap;
}

uint32_t CountFreeBlocks() {
  uint32_t count = 0;
  ForMainPools([&](MemPool* pool) {
    for (uint8_t* block = FirstFree(pool); block != TailPseudo(pool); block = NextFree(block)) {
      ++count;
    }
  });
  return count;
}

void CopyMem(const void* source, void* destination, size_t length) {
  std::memmove(destination, source, length);
}

void ClearMem(void* address, size_t length) { std::memset(address, 0, length); }

bool IsPoolAddress(const void* address) {
  auto at = reinterpret_cast<uintptr_t>(address);
  for (int i = 0; i < gLiveCount; ++i) {
    if (InRange(gLive[i], at)) return true;
  }
  return false;
}

void* ExecNew(size_t size) {
  if (MemoryReady() && !gHostHeap) {
    void* object = AllocMem(kMainPoolId, size);
    if (object != nullptr) return object;
  }
  return std::malloc(size != 0 ? size : 1);
}

void ExecDelete(void* address) {
  if (address == nullptr) return;
  if (IsPoolAddress(address)) {
    FreeMem(address);
    return;
  }
  auto at = reinterpret_cast<uintptr_t>(address);
  for (const Range& range : gRetired) {
    if (InRange(range, at)) return;
  }
  std::free(address);
}
