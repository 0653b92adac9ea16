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

// ---- the max-tree

void SetLeaf(PoolIndex& index, uint32_t word, uint32_t value) {
  uint32_t* tree = index.tree;
  uint32_t at = index.leaves + word;
  if (tree[at] == value) return;
  tree[at] = value;
  for (at >>= 1; at != 0; at >>= 1) {
    uint32_t left = tree[2 * at];
    uint32_t right = tree[2 * at + 1];
    uint32_t best = left > right ? left : right;
    if (tree[at] == best) break;
    tree[at] = best;
  }
}

// A free block of this size now starts in the word: the leaf can only grow.
void RaiseLeaf(PoolIndex& index, uint32_t word, uint32_t size) {
  uint32_t* tree = index.tree;
  uint32_t at = index.leaves + word;
  if (tree[at] >= size) return;
  for (; at != 0 && tree[at] < size; at >>= 1) tree[at] = size;
}

void RecomputeLeaf(MemPool* pool, uint32_t word) {
  uint32_t best = 0;
  for (uint64_t bits = pool->index.bitmap[word]; bits != 0; bits &= bits - 1) {
    uint32_t size = FreeSize(GridBlock(pool, word * kWordBits + LowestBit(bits)));
    if (size > best) best = size;
  }
  SetLeaf(pool->index, word, best);
}

// The first word at or after `from` holding a free block of at least `size`
// bytes, or -1.
int64_t FirstWordWith(const PoolIndex& index, uint32_t from, uint32_t size) {
  if (from >= index.words) return -1;
  const uint32_t* tree = index.tree;
  uint32_t at = index.leaves + from;
  while (tree[at] < size) {
    while (at & 1) at >>= 1;  // climb while we are a right child
    if (at == 0) return -1;   // came out above the root
    ++at;                     // the right sibling's subtree lies after us
  }
  while (at < index.leaves) at = tree[2 * at] >= size ? 2 * at : 2 * at + 1;
  return static_cast<int64_t>(at - index.leaves);
}

void MarkFree(MemPool* pool, uint8_t* block, uint32_t size) {
  uint32_t g = GridIndex(pool, block);
  pool->index.bitmap[g / kWordBits] |= uint64_t{1} << (g % kWordBits);
  RaiseLeaf(pool->index, g / kWordBits, size);
}

void UnmarkFree(MemPool* pool, uint8_t* block) {
  uint32_t g = GridIndex(pool, block);
  pool->index.bitmap[g / kWordBits] &= ~(uint64_t{1} << (g % kWordBits));
  RecomputeLeaf(pool, g / kWordBits);
}

// The first free block at or above block, or null.
uint8_t* FreeBlockFrom(MemPool* pool, const uint8_t* block) {
  uint32_t g = GridIndex(pool, block);
  uint32_t word = g / kWordBits;
  if (word >= pool->index.words) return nullptr;
  uint64_t bits = pool->index.bitmap[word] & (~uint64_t{0} << (g % kWordBits));
  if (bits == 0) {
    int64_t next = FirstWordWith(pool->index, word + 1, 1);
    if (next < 0) return nullptr;
    word = static_cast<uint32_t>(next);
    bits = pool->index.bitmap[word];
  }
  return GridBlock(pool, word * kWordBits + LowestBit(bits));
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
    for (uint64_t bits = pool->index.bitmap[word]; bits != 0; bits &= bits - 1) {
      uint8_t* candidate = GridBlock(pool, static_cast<uint32_t>(word) * kWordBits + LowestBit(bits));
      uint32_t candidateSize = FreeSize(candidate);
      if (candidateSize == blockSize || candidateSize >= splitAt) {
        block = candidate;
        size = candidateSize;
        break;
      }
    }
    if (block != nullptr) break;
    word = FirstWordWith(pool->index, static_cast<uint32_t>(word) + 1, blockSize);
  }
  if (block == nullptr) return nullptr;

  if (gap != 0) WriteGuard(block + blockSize);
  if (size == blockSize) {
    Unlink(block);
    UnmarkFree(pool, block);
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
  uint32_t rg = GridIndex(pool, rest);
  pool->index.bitmap[rg / kWordBits] |= uint64_t{1} << (rg % kWordBits);
  RecomputeLeaf(pool, g / kWordBits);
  if (rg / kWordBits != g / kWordBits) RaiseLeaf(pool->index, rg / kWordBits, restSize);
  pool->freeBytes -= blockSize + gap;
  return block;
}

void Release(MemPool* pool, uint8_t* block, uint32_t blockSize) {
  const uint32_t gap = pool->gap;
  if ((gMemOptions & kMemFill) && pool->id != kDebugPoolId) std::memset(block, 0xAA, blockSize);

  uint8_t* next = FreeBlockFrom(pool, block);
  if (next == nullptr) next = TailPseudo(pool);
  uint8_t* prev = PrevFree(next);
  pool->freeBytes += blockSize;

  uint8_t* current = block;
  uint32_t currentSize = blockSize;
  if (IsRealBlock(pool, prev) && prev + FreeSize(prev) + gap == block) {
    currentSize = FreeSize(prev) + gap + blockSize;
    current = prev;
    pool->freeBytes += gap;
    SetFreeSize(current, currentSize);
    RaiseLeaf(pool->index, GridIndex(pool, current) / kWordBits, currentSize);
  } else {
    SetFreeSize(block, blockSize);
    LinkBetween(block, prev, next);
    MarkFree(pool, block, blockSize);
  }
  if (gap != 0) WriteGuard(current + currentSize);

  if (IsRealBlock(pool, next) && current + currentSize + gap == next) {
    currentSize += gap + FreeSize(next);
    pool->freeBytes += gap;
    Unlink(next);
    SetFreeSize(current, currentSize);
    UnmarkFree(pool, next);
    RaiseLeaf(pool->index, GridIndex(pool, current) / kWordBits, currentSize);
  }
}

uint32_t NextPowerOfTwo(uint32_t value) {
  uint32_t power = 1;
  while (power < value) power <<= 1;
  return power;
}

bool MakeIndex(MemPool* pool, uint32_t blockBytes) {
  PoolIndex& index = pool->index;
  uint32_t steps = blockBytes / kGrid;
  index.words = (steps + kWordBits - 1) / kWordBits;
  index.leaves = NextPowerOfTwo(index.words);
  size_t bitmapBytes = static_cast<size_t>(index.words) * sizeof(uint64_t);
  size_t treeBytes = static_cast<size_t>(index.leaves) * 2 * sizeof(uint32_t);
  index.memory = os::HostAlloc(bitmapBytes + treeBytes);
  if (index.memory == nullptr) return false;
  std::memset(index.memory, 0, bitmapBytes + treeBytes);
  index.bitmap = static_cast<uint64_t*>(index.memory);
  index.tree = reinterpret_cast<uint32_t*>(static_cast<uint8_t*>(index.memory) + bitmapBytes);
  return true;
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
  if (!MakeIndex(pool, static_cast<uint32_t>(blockBytes))) return nullptr;

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

void DestroyPoolIndex(MemPool* pool) {
  os::HostFree(pool->index.memory);
  pool->index = PoolIndex{};
}

bool OnBlockGrid(const MemPool* pool, const uint8_t* block) {
  if (block < pool->firstBlock || block >= pool->end) return false;
  if ((block - pool->firstBlock) % kGrid != 0) return false;
  return GridIndex(pool, block) / kWordBits < pool->index.words;
}

bool IsInFreeBlock(MemPool* pool, const uint8_t* block) {
  uint8_t* next = FreeBlockFrom(pool, block);
  if (next == block) return true;
  uint8_t* prev = PrevFree(next != nullptr ? next : TailPseudo(pool));
  return IsRealBlock(pool, prev) && block < prev + FreeSize(prev);
}

}  // namespace mem
