// One pool: first-fit allocation from the address-ordered free list and release
// with merging of both neighbours. The free list is kept exactly as a plain walk
// would keep it; the index only answers "which free block would the walk reach
// first" and "where does this block go in the list" without the walk.
#include <cstdlib>
#include <cstring>

#include "exec/memory_internal.h"
#include "exec/os.h"

namespace mem {
namespace {

constexpr uint32_t kGrid = kBlockAlign;  // block starts are 16 bytes apart at least
constexpr uint32_t kGridShift = 4;
static_assert(uint32_t{1} << kGridShift == kGrid, "grid shift");

uint32_t GridStep(const MemPool* pool, const uint8_t* block) {
  return static_cast<uint32_t>(static_cast<uintptr_t>(block - pool->firstBlock) >> kGridShift);
}
uint8_t* GridBlock(const MemPool* pool, uint32_t step) {
  return pool->firstBlock + (static_cast<size_t>(step) << kGridShift);
}

// A free block's size from its class where the class is exact, so that the
// block itself need not be read.
uint32_t FreeSizeAt(const MemPool* pool, uint32_t step, const uint8_t* block) {
  const uint8_t cls = pool->index.level[0][step];
  return cls < kExactClasses ? uint32_t{cls} * kGrid : FreeSize(block);
}

// ---- list links

void Unlink(uint8_t* block) {
  uint8_t* next = NextFree(block);
  uint8_t* prev = PrevFree(block);
  SetNextFree(prev, next);
  SetPrevFree(next, prev);
}

void LinkBetween(uint8_t* block, uint8_t* prev, uint8_t* next) {
  SetNextFree(block, next);
  SetPrevFree(block, prev);
  SetNextFree(prev, block);
  SetPrevFree(next, block);
}

bool IsRealBlock(MemPool* pool, const uint8_t* block) {
  return block != HeadPseudo(pool) && block != TailPseudo(pool);
}

// ---- the pool operations

// The first free block the list walk would take for blockSize: one that fits
// exactly or leaves a remainder that can hold a free block. Null when none.
uint8_t* FirstFit(MemPool* pool, uint32_t blockSize, uint32_t* foundSize) {
  const PoolIndex& index = pool->index;
  const uint64_t splitAt = uint64_t{blockSize} + kMinBlock + pool->gap;
  const uint8_t exactClass = SizeClass(blockSize);
  const uint8_t splitClass = SizeClass(splitAt);
  // Below 2 KiB classes are sizes, so the class bytes alone decide.
  const bool byClass = splitClass < kExactClasses;
  for (int64_t word = FirstAtLeast(index, 1, exactClass); word >= 0;
       word = FindAtLeast(index, 1, static_cast<uint32_t>(word) + 1, exactClass)) {
    // The word's free blocks in address order: the list walk's order.
    const uint8_t* classes = index.level[0] + static_cast<size_t>(word) * kFan;
    const uint32_t base = static_cast<uint32_t>(word) * kFan;
    if (byClass) {
      const uint64_t mask = EqualOrAtLeastMask(classes, exactClass, splitClass);
      if (mask != 0) {
        const uint32_t lane = static_cast<uint32_t>(__builtin_ctzll(mask));
        uint8_t* block = GridBlock(pool, base + lane);
        *foundSize = FreeSizeAt(pool, base + lane, block);
        return block;
      }
      continue;
    }
    for (uint64_t mask = AtLeastMask(classes, exactClass); mask != 0; mask &= mask - 1) {
      const uint32_t lane = static_cast<uint32_t>(__builtin_ctzll(mask));
      uint8_t* block = GridBlock(pool, base + lane);
      const uint32_t size = FreeSize(block);
      if (classes[lane] > splitClass || size == blockSize || size >= splitAt) {
        *foundSize = size;
        return block;
      }
    }
  }
  return nullptr;
}

uint8_t* Allocate(MemPool* pool, uint32_t blockSize) {
  if (pool->freeBytes < blockSize) return nullptr;
  uint32_t size = 0;
  uint8_t* block = FirstFit(pool, blockSize, &size);
  if (block == nullptr) return nullptr;

  const uint32_t gap = pool->gap;
  if (gap != 0) WriteGuard(block + blockSize);
  if (size == blockSize) {
    Unlink(block);
    ClearFree(pool->index, GridStep(pool, block));
    pool->freeBytes -= blockSize;
    return block;
  }
  // Split: the remainder takes the block's place in the list.
  uint8_t* rest = block + blockSize + gap;
  const uint32_t restSize = size - blockSize - gap;
  uint8_t* prev = PrevFree(block);
  uint8_t* next = NextFree(block);
  if (gap != 0) {
    WriteGuard(rest - 4);
    WriteGuard(rest + restSize);
  }
  SetFreeSize(rest, restSize);
  LinkBetween(rest, prev, next);
  // Marked before the block is cleared, so the word's largest is found once.
  MarkFree(pool->index, GridStep(pool, rest), SizeClass(restSize));
  ClearFree(pool->index, GridStep(pool, block));
  pool->freeBytes -= blockSize + gap;
  return block;
}

void Release(MemPool* pool, uint8_t* block, uint32_t blockSize, const FreeNeighbours& around) {
  const uint32_t gap = pool->gap;
  if ((gMemOptions & kMemFill) && pool->id != kDebugPoolId) std::memset(block, 0xAA, blockSize);

  uint8_t* prev = around.prev;
  uint8_t* next = around.next;
  pool->freeBytes += blockSize;

  uint8_t* current = block;
  uint32_t currentSize = blockSize;
  if (prev + around.prevSize + gap == block && IsRealBlock(pool, prev)) {
    current = prev;
    currentSize = around.prevSize + gap + blockSize;
    pool->freeBytes += gap;
  } else {
    LinkBetween(block, prev, next);
  }

  if (current + currentSize + gap == next && IsRealBlock(pool, next)) {
    const uint32_t nextStep = GridStep(pool, next);
    currentSize += gap + FreeSizeAt(pool, nextStep, next);
    pool->freeBytes += gap;
    Unlink(next);
    SetFreeSize(current, currentSize);
    if (gap != 0) WriteGuard(current + currentSize);
    // Marked before the joined block is cleared, so the word's largest is found once.
    MarkFree(pool->index, GridStep(pool, current), SizeClass(currentSize));
    ClearFree(pool->index, nextStep);
    return;
  }
  SetFreeSize(current, currentSize);
  if (gap != 0) WriteGuard(current + currentSize);
  MarkFree(pool->index, GridStep(pool, current), SizeClass(currentSize));
}

}  // namespace

MemPool* MakePool(uint8_t* host, uint32_t size, uint16_t id, const char* name, int16_t priority,
                  bool guards) {
  const uintptr_t hostStart = reinterpret_cast<uintptr_t>(host);
  const uintptr_t hostEnd = hostStart + size;
  const uintptr_t recordAt = (hostStart + kBlockAlign - 1) & ~uintptr_t{kBlockAlign - 1};
  const uint32_t guardBytes = guards ? 4 : 0;
  // The first block sits at 12 mod 16 after the record (and its start guard).
  uintptr_t first = recordAt + sizeof(MemPool) + guardBytes + 4;
  first = ((first + kBlockAlign - 1) & ~uintptr_t{kBlockAlign - 1}) - 4;
  if (first + kMinBlock + guardBytes > hostEnd) return nullptr;
  uint64_t blockBytes = hostEnd - guardBytes - first;
  blockBytes -= blockBytes % kBlockAlign;
  if (blockBytes < kMinBlock) return nullptr;

  auto* pool = reinterpret_cast<MemPool*>(recordAt);
  std::memset(pool, 0, sizeof(MemPool));
  pool->node.name = name;
  pool->node.type = kNodeMemPool;
  pool->node.priority = priority;
  InitListHeader(&pool->freeList);
  pool->allocate = Allocate;
  pool->release = Release;
  pool->start = host;
  pool->end = host + size;
  pool->id = id;
  pool->firstBlock = reinterpret_cast<uint8_t*>(first);
  pool->gap = guards ? kGuardGap : 0;
  if (!MakeIndex(pool->index, static_cast<uint32_t>(blockBytes / kGrid))) return nullptr;

  uint8_t* block = pool->firstBlock;
  const uint32_t blockSize = static_cast<uint32_t>(blockBytes);
  if (guards) {
    WriteGuard(block - 4);
    WriteGuard(block + blockSize);
  }
  SetFreeSize(block, blockSize);
  LinkBetween(block, HeadPseudo(pool), TailPseudo(pool));
  MarkFree(pool->index, 0, SizeClass(blockSize));
  pool->freeBytes = blockSize;
  pool->initialFree = blockSize;
  return pool;
}

void DestroyPoolIndex(MemPool* pool) { FreeIndex(pool->index); }

ReleaseCheck CheckRelease(MemPool* pool, const uint8_t* block, FreeNeighbours* around,
                          uint32_t* blockSize) {
  if (block < pool->firstBlock || block >= pool->end) return ReleaseCheck::kNotABlock;
  if ((static_cast<uintptr_t>(block - pool->firstBlock) & (kGrid - 1)) != 0) return ReleaseCheck::kNotABlock;
  const uint32_t step = GridStep(pool, block);
  if (step >= pool->index.steps) return ReleaseCheck::kNotABlock;

  const int64_t next = NextFreeStep(pool->index, step);
  if (next == step) return ReleaseCheck::kAlreadyFree;
  const int64_t prev = PrevFreeStep(pool->index, step);
  around->next = next < 0 ? TailPseudo(pool) : GridBlock(pool, static_cast<uint32_t>(next));
  if (prev < 0) {
    around->prev = HeadPseudo(pool);
    around->prevSize = 0;
  } else {
    around->prev = GridBlock(pool, static_cast<uint32_t>(prev));
    around->prevSize = FreeSizeAt(pool, static_cast<uint32_t>(prev), around->prev);
    if (block < around->prev + around->prevSize) return ReleaseCheck::kAlreadyFree;  // inside it
  }

  const uint32_t gap = pool->gap;
  if (gap != 0 && !GuardIntact(block - 4)) return ReleaseCheck::kStartDamaged;
  const uint32_t size = LoadU32(block);
  // Where the block may end: the pool's end (less the end guard), or the next
  // free block's start (less the gap).
  const uint8_t* limit = next < 0 ? pool->end - (gap != 0 ? 4 : 0) : around->next - gap;
  if (size < kMinBlock || size % kGrid != 0 || size > static_cast<uint64_t>(limit - block)) {
    return ReleaseCheck::kStartDamaged;
  }
  if (gap != 0 && !GuardIntact(block + size)) return ReleaseCheck::kEndDamaged;
  *blockSize = size;
  return ReleaseCheck::kReleasable;
}

}  // namespace mem
