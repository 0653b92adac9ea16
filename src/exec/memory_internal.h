#pragma once
// Shared between memory.cpp (entries), mempool.cpp (pools and their index) and
// memdebug.cpp (check tables and free-list walks). Not for other modules.
#include <cstdint>
#include <cstring>

#include "exec/list.h"
#include "exec/memory.h"
#include "exec/mempool_index.h"

namespace mem {

// Free blocks start 4 bytes below a 16-byte boundary, so their pointer fields are
// not 8-aligned: every field access goes through these.
inline uint32_t LoadU32(const uint8_t* at) {
  uint32_t value;
  std::memcpy(&value, at, sizeof value);
  return value;
}
inline void StoreU32(uint8_t* at, uint32_t value) { std::memcpy(at, &value, sizeof value); }
inline uint8_t* LoadPtr(const uint8_t* at) {
  uint8_t* value;
  std::memcpy(&value, at, sizeof value);
  return value;
}
inline void StorePtr(uint8_t* at, const uint8_t* value) { std::memcpy(at, &value, sizeof value); }

// Free block: next (+0), previous (+8), size (+16). Allocated block: size (+0).
// The free-list header's words serve as the links of two pseudo-blocks, in the
// engine list's form: &head is a block whose next is head, &tail one whose next
// is null and whose previous is tailPred.
constexpr uint32_t kNextOffset = 0;
constexpr uint32_t kPrevOffset = 8;
constexpr uint32_t kFreeSizeOffset = 16;
inline uint8_t* NextFree(const uint8_t* block) { return LoadPtr(block + kNextOffset); }
inline uint8_t* PrevFree(const uint8_t* block) { return LoadPtr(block + kPrevOffset); }
inline uint32_t FreeSize(const uint8_t* block) { return LoadU32(block + kFreeSizeOffset); }
inline void SetNextFree(uint8_t* block, const uint8_t* next) { StorePtr(block + kNextOffset, next); }
inline void SetPrevFree(uint8_t* block, const uint8_t* prev) { StorePtr(block + kPrevOffset, prev); }
inline void SetFreeSize(uint8_t* block, uint32_t size) { StoreU32(block + kFreeSizeOffset, size); }

constexpr uint8_t kGuard[4] = {'U', 'V', 'W', 'X'};
inline void WriteGuard(uint8_t* at) { std::memcpy(at, kGuard, sizeof kGuard); }
inline bool GuardIntact(const uint8_t* at) { return std::memcmp(at, kGuard, sizeof kGuard) == 0; }

struct MemPool;
// The free blocks on either side of a block being released, in list order: the
// head pseudo-block when none is before it, the tail pseudo-block when none is
// after it. Found from the index (CheckRelease), not from the blocks.
struct FreeNeighbours {
  uint8_t* prev;
  uint32_t prevSize;  // 0 for the head pseudo-block
  uint8_t* next;
};
using PoolAllocate = uint8_t* (*)(MemPool* pool, uint32_t blockSize);
using PoolRelease = void (*)(MemPool* pool, uint8_t* block, uint32_t blockSize,
                             const FreeNeighbours& around);

// Pool record, at the start of the pool's own memory.
struct MemPool {
  ExecNode node;  // "Main ram" / "Debug (safe) ram", type 6
  ExecListHeader freeList;
  PoolAllocate allocate;
  PoolRelease release;
  uint8_t* start;  // the host block
  uint8_t* end;
  uint32_t freeBytes;
  uint16_t zero;
  uint16_t id;
  // Beyond the classic record:
  uint8_t* firstBlock;   // origin of the block grid (12 mod 16)
  uint32_t gap;          // kGuardGap with guard words, else 0
  uint32_t initialFree;  // free bytes when made
  PoolIndex index;
};

inline uint8_t* HeadPseudo(MemPool* pool) { return reinterpret_cast<uint8_t*>(&pool->freeList.head); }
inline uint8_t* TailPseudo(MemPool* pool) { return reinterpret_cast<uint8_t*>(&pool->freeList.tail); }
inline uint8_t* FirstFree(MemPool* pool) { return reinterpret_cast<uint8_t*>(pool->freeList.head); }

// ---- pools (mempool.cpp)
// Makes a pool in [host, host + size); null when too small or its index cannot
// be had from the host.
MemPool* MakePool(uint8_t* host, uint32_t size, uint16_t id, const char* name, int16_t priority,
                  bool guards);
void DestroyPoolIndex(MemPool* pool);
// What a release finds at block: releasable (then *around and *blockSize are
// set), not a block of the pool's grid, a free block or inside one, or a damaged
// start guard or size word, or end guard. The size word must be a multiple of the
// grid, stay inside the pool and not reach into the next free block.
enum class ReleaseCheck { kReleasable, kNotABlock, kAlreadyFree, kStartDamaged, kEndDamaged };
ReleaseCheck CheckRelease(MemPool* pool, const uint8_t* block, FreeNeighbours* around,
                          uint32_t* blockSize);

// ---- module state (memory.cpp)
ExecList* PoolList();
MemPool* PoolOfAddress(const void* address);
bool DebugPoolPresent();
// Holds "Memory manager" with the thread-safe option; returns whether it is held.
bool LockPools();
void UnlockPools(bool held);

// ---- check tables and walks (memdebug.cpp)
bool CreateCheckTables();
void DropCheckTables();
bool CheckTablesPresent();
constexpr size_t kCheckContextSize = 32;
// context: kCheckContextSize bytes of caller context, or null.
bool AddCheckEntry(uint32_t sequence, const uint8_t* block, uint32_t size, const void* context);
void ClearCheckEntry(const uint8_t* block);
uint32_t CheckEntryCount();  // live entries, for the leak listing and tests
void ResetWalkLimit();
void WalkFreeLists();

}  // namespace mem
