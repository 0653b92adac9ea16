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

// Every block handed out is 16-byte aligned (the program is 64-bit: C++ objects
// and SSE code need it). The 4-byte size word sits right in front of the caller's
// address, so block starts sit 4 bytes below a 16-byte boundary.
constexpr uint32_t kBlockAlign = 16;
constexpr uint32_t kMinBlock = 32;  // a free block holds next, previous and size
// Block size for a request: size + 4 rounded up to 16, at least kMinBlock.
uint32_t BlockSizeFor(size_t requested);

// Set by InitExec before _InitAlloc; read by the allocator.
extern uint32_t gMemOptions;
extern uint32_t gMemBreakAtNumber;   // 0xFFFFFFFF = off
extern uintptr_t gMemBreakAtAddress; // ~0 = off

void* AllocMem(uint16_t poolId, size_t size);
void FreeMem(void* address);
bool _InitAlloc(uint32_t mainSize, uint32_t debugSize, bool hostHeap);
void RemoveAlloc();
uint32_t GetMemSize(const void* address);
uint64_t TotalPoolMem();
uint64_t AvailPoolMem();
uint32_t CountFreeBlocks();
void CopyMem(const void* source, void* destination, size_t length);
void ClearMem(void* address, size_t length);

// True when the address lies inside one of the pools (the program's delete uses
// this, not the ready bit, so objects may cross InitExec and Exec remove).
bool IsPoolAddress(const void* address);
bool MemoryReady();
