#pragma once
// Pool memory manager: one large host block ("Main ram"), first-fit allocation
// from an address-ordered free list, release merging with both neighbours, leak
// accounting, and optional debug checks selected by the option bits below.
#include <cstddef>
#include <cstdint>

constexpr uint32_t kMemReady = 0x01;
constexpr uint32_t kMemThreadSafe = 0x02;
constexpr uint32_t kMemCheck = 0x04;
constexpr uint32_t kMemCaptureContext = 0x08;
constexpr uint32_t kMemFill = 0x10;
constexpr uint32_t kMemStrictRelease = 0x20;
constexpr uint32_t kMemGuards = 0x40;

constexpr uint16_t kMainPoolId = 0;
constexpr uint16_t kDebugPoolId = 0xF000;

// Every address handed out is 16-byte aligned (the program is 64-bit: C++ objects
// and SSE code need it). The 4-byte size word sits right in front of the caller's
// address, so block starts sit 4 bytes below a 16-byte boundary (12 mod 16).
// Block sizes are multiples of 16, so every following block keeps that alignment.
constexpr uint32_t kBlockAlign = 16;
// A free block holds next and previous (8 bytes each) and its size: 20 bytes,
// so the smallest block is 32. A free block is split only when the remainder
// can hold a free block, so one exactly 16 bytes larger than a request is passed
// over (16 and 32 bytes larger with guard words).
constexpr uint32_t kMinBlock = 32;
// With guard words each block is followed by its end guard "UVWX" and the next
// block is preceded by its start guard: the two sit in a 16-byte gap between
// neighbouring blocks, so an allocated block normally costs its size + 16.
constexpr uint32_t kGuardGap = 16;
// Block size for a request: size + 4 rounded up to 16, at least kMinBlock;
// 0 when the request cannot be a block at all (beyond 32-bit sizes).
uint32_t BlockSizeFor(size_t requested);

// Set by InitExec before _InitAlloc; read by the allocator. Guard words are
// fixed for a pool when it is made; the other bits are read on every call.
extern uint32_t gMemOptions;
extern uint32_t gMemBreakAtNumber;   // 0xFFFFFFFF = off
extern uintptr_t gMemBreakAtAddress; // a block start (address - 4); ~0 = off

void* AllocMem(uint16_t poolId, size_t size);
void FreeMem(void* address);
// Main size at least 8 MiB; on host failure retried 32 MiB smaller while that
// stays at 8 MiB or more. Fails with the assert box and the log switched on.
bool _InitAlloc(uint32_t mainSize, uint32_t debugSize, bool hostHeap);
void RemoveAlloc();
// The block size word (BlockSizeFor of the request); 0 for null, for addresses
// outside the pools and in host-heap mode.
uint32_t GetMemSize(const void* address);
uint64_t TotalPoolMem();
uint64_t AvailPoolMem();
uint32_t CountFreeBlocks();
// TotalPoolMem - AvailPoolMem of the main pool(s) as they were made: pool
// record, alignment to the block grid, and guards.
uint64_t EmptyPoolOverhead();
// What the allocated blocks of the main pool(s) hold: their block sizes and, with
// guard words, one guard gap each. Without guard words this is TotalPoolMem -
// EmptyPoolOverhead - AvailPoolMem; with them that difference also holds the gaps
// in front of every free block after the first, which belong to no allocation.
uint64_t HeldPoolMem();
// What one allocated block holds in those terms: GetMemSize plus its pool's
// guard gap (0 where GetMemSize is 0).
uint32_t GetMemHeld(const void* address);
// Overlapping ranges are copied as if through a temporary buffer.
void CopyMem(const void* source, void* destination, size_t length);
void ClearMem(void* address, size_t length);

// True when the address lies inside one of the pools (the program's delete uses
// this, not the ready bit, so objects may cross InitExec and Exec remove).
bool IsPoolAddress(const void* address);
bool MemoryReady();

// The program's object creation and destruction. ExecNew takes the main pool
// while the memory system is ready (and not in host-heap mode), the C runtime
// heap otherwise or when the pool is exhausted. ExecDelete releases by address:
// a pool block goes to FreeMem, anything else to the C runtime, except blocks of
// pools already given back (an object outliving Exec remove), which are dropped.
void* ExecNew(size_t size);
void ExecDelete(void* address);

// A block of the main pool that goes back when its holder goes, for functions
// with more than one way out. Release hands the block on to a new owner.
class PoolBlock {
 public:
  explicit PoolBlock(size_t size) : block_(AllocMem(kMainPoolId, size)) {}
  // Takes over a block already allocated (null is fine).
  static PoolBlock Adopt(void* block) { return PoolBlock(block); }
  PoolBlock(PoolBlock&& other) noexcept : block_(other.Release()) {}
  ~PoolBlock() {
    if (block_) FreeMem(block_);
  }
  PoolBlock(const PoolBlock&) = delete;
  PoolBlock& operator=(const PoolBlock&) = delete;
  PoolBlock& operator=(PoolBlock&&) = delete;

  char* get() const { return static_cast<char*>(block_); }
  explicit operator bool() const { return block_ != nullptr; }
  void* Release() {
    void* block = block_;
    block_ = nullptr;
    return block;
  }

 private:
  explicit PoolBlock(void* block) : block_(block) {}
  void* block_;
};
