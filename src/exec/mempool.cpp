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
constexpr uint32_t kWordBits = 64;

uint32_t GridIndex(const MemPool* pool, const uint8_t* block) {
  return static_cast<uint32_t>((block - pool->firstBlock) / kGrid);
}
uint8_t* GridBlock(const MemPool* pool, uint32_t index) {
  return pool->firstBlock + static_cast<size_t>(index) * kGrid;
}

int LowestBit(uint64_t bits) { return __builtin_ctzll(bits); }

void MarkFree(MemPool* pool, uint8_t* block, uint32_t size) {
  uint32_t g = GridIndex(pool, block);
  pool->index.bitmap[g / kWordBits] |= uint64_t{1} << (g % kWordBits);
  RaiseBound(pool->index, g / kWordBits, size);
}

// A free block of `size` bytes left the word. When it may have been the largest
// the bound is made exact again, so that searches are not sent to a word that
// no longer has what they need; otherwise the bound still holds.
void WordShrunk(MemPool* pool, uint32_t word, uint32_t size) {
  PoolIndex& index = pool->index;
  if (index.level[0][word] > size) return;
  uint32_t largest = 0;
  for (uint64_t bits = index.bitmap[word]; bits != 0; bits &= bits - 1) {
    uint32_t candidate = FreeSize(GridBlock(pool, word * kWordBits + LowestBit(bits)));
    if (candidate > largest) largest = candidate;
  }
  SetBound(index, word, largest);
}

void UnmarkFree(MemPool* pool, uint8_t* block, uint32_t size) {
  uint32_t g = GridIndex(pool, block);
  pool->index.bitmap[g / kWordBits] &= ~(uint64_t{1} << (g % kWordBits));
  WordShrunk(pool, g / kWordBits, size);
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

uint8_t* Allocate(MemPool* pool, uint32_t blockSize) {
  if (pool->freeBytes < blockSize) return nullptr;
  const uint32_t gap = pool->gap;
  // A split must leave a remainder that can hold a free block.
  const uint64_t splitAt = static_cast<uint64_t>(blockSize) + kMinBlock + gap;
  uint8_t* block = nullptr;
  uint32_t size = 0;
  int64_t word = FirstWordWith(pool->index, 0, blockSize);
  while (word >= 0) {
    // Within a word, in address order: the first block the list walk would take.
    uint32_t largest = 0;
    for (uint64_t bits = pool->index.bitmap[word]; bits != 0; bits &= bits - 1) {
      uint8_t* candidate = GridBlock(pool, static_cast<uint32_t>(word) * kWordBits + LowestBit(bits));
      uint32_t candidateSize = FreeSize(candidate);
      if (candidateSize == blockSize || candidateSize >= splitAt) {
        block = candidate;
        size = candidateSize;
        break;
      }
      if (candidateSize > largest) largest = candidateSize;
    }
    if (block != nullptr) break;
    SetBound(pool->index, static_cast<uint32_t>(word), largest);  // every block seen: exact
    word = FirstWordWith(pool->index, static_cast<uint32_t>(word) + 1, blockSize);
  }
  if (block == nullptr) return nullptr;

  if (gap != 0) WriteGuard(block + blockSize);
  if (size == blockSize) {
    Unlink(block);
    UnmarkFree(pool, block, size);
    pool->freeBytes -= blockSize;
    return block;
  }
  // Split: the remainder takes the block's place in the list.
  uint8_t* rest = block + blockSize + gap;
  uint32_t restSize = size - blockSize - gap;
  uint8_t* prev = PrevFree(block);
  uint8_t* next = NextFree(block);
  if (gap != 0) {
    WriteGuard(rest - 4);
    WriteGuard(rest + restSize);
  }
  SetFreeSize(rest, restSize);
  LinkBetween(rest, prev, next);
  uint32_t g = GridIndex(pool, block);
  pool->index.bitmap[g / kWordBits] &= ~(uint64_t{1} << (g % kWordBits));
  MarkFree(pool, rest, restSize);
  WordShrunk(pool, g / kWordBits, size);
  pool->freeBytes -= blockSize + gap;
  return block;
}

void Release(MemPool* pool, uint8_t* block, uint32_t blockSize, uint8_t* next) {
  const uint32_t gap = pool->gap;
  if ((gMemOptions & kMemFill) && pool->id != kDebugPoolId) std::memset(block, 0xAA, blockSize);

  uint8_t* prev = PrevFree(next);
  pool->freeBytes += blockSize;

  uint8_t* current = block;
  uint32_t currentSize = blockSize;
  if (IsRealBlock(pool, prev) && prev + FreeSize(prev) + gap == block) {
    currentSize = FreeSize(prev) + gap + blockSize;
    current = prev;
    pool->freeBytes += gap;
    SetFreeSize(current, currentSize);
    RaiseBound(pool->index, GridIndex(pool, current) / kWordBits, currentSize);
  } else {
    SetFreeSize(block, blockSize);
    LinkBetween(block, prev, next);
    MarkFree(pool, block, blockSize);
  }
  if (gap != 0) WriteGuard(current + currentSize);

  if (IsRealBlock(pool, next) && current + currentSize + gap == next) {
    currentSize += gap + FreeSize(next);
    pool->freeBytes += gap;
    const uint32_t nextSize = FreeSize(next);
    Unlink(next);
    SetFreeSize(current, currentSize);
    UnmarkFree(pool, next, nextSize);
    RaiseBound(pool->index, GridIndex(pool, current) / kWordBits, currentSize);
  }
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
  if (!MakeIndex(pool->index, static_cast<uint32_t>((blockBytes / kGrid + kWordBits - 1) / kWordBits))) {
    return nullptr;
  }

  uint8_t* block = pool->firstBlock;
  const uint32_t blockSize = static_cast<uint32_t>(blockBytes);
  if (guards) {
    WriteGuard(block - 4);
    WriteGuard(block + blockSize);
  }
  SetFreeSize(block, blockSize);
  LinkBetween(block, HeadPseudo(pool), TailPseudo(pool));
  MarkFree(pool, block, blockSize);
  pool->freeBytes = blockSize;
  pool->initialFree = blockSize;
  return pool;
}

void DestroyPoolIndex(MemPool* pool) { FreeIndex(pool->index); }

bool OnBlockGrid(const MemPool* pool, const uint8_t* block) {
  if (block < pool->firstBlock || block >= pool->end) return false;
  if ((block - pool->firstBlock) % kGrid != 0) return false;
  return GridIndex(pool, block) / kWordBits < pool->index.words;
}

uint8_t* FreeBlockFrom(MemPool* pool, const uint8_t* block) {
  PoolIndex& index = pool->index;
  uint32_t g = GridIndex(pool, block);
  uint32_t word = g / kWordBits;
  uint64_t bits = index.bitmap[word] & (~uint64_t{0} << (g % kWordBits));
  while (bits == 0) {
    int64_t next = FirstWordWith(index, word + 1, 1);
    if (next < 0) return TailPseudo(pool);
    word = static_cast<uint32_t>(next);
    bits = index.bitmap[word];
    if (bits == 0) SetBound(index, word, 0);  // a stale bound: the word is empty
  }
  return GridBlock(pool, word * kWordBits + LowestBit(bits));
}

bool IsInFreeBlock(MemPool* pool, const uint8_t* block, uint8_t* next) {
  if (next == block) return true;
  uint8_t* prev = PrevFree(next);
  return IsRealBlock(pool, prev) && block < prev + FreeSize(prev);
}

}  // namespace mem
