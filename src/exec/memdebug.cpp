// Debugging aids of the memory manager: the check tables, which record every
// live allocation of the main pool in tables kept in the debug pool (away from
// the memory they describe), and the free-list walk that looks for damage after
// every allocation and release. Both run with the pools locked.
#include <cstring>

#include "exec/log.h"
#include "exec/memory_internal.h"
#include "exec/table.h"

namespace mem {
namespace {

const char kModule[] = "Exec\\MemDebug";
constexpr uint32_t kRegions = 512;
constexpr uintptr_t kWindow = 0x100000;  // one region per 1 MiB of addresses
constexpr uint32_t kFirstEntries = 32;

struct CheckEntry {
  uint32_t sequence;
  uint32_t size;
  const uint8_t* block;  // null: the entry is unused
  uint8_t context[kCheckContextSize];
};

struct CheckRegion {
  uintptr_t start;
  uintptr_t end;
  ExecTable table;  // capacity entries, count in use; unused entries have no block
};

CheckRegion* gRegions = nullptr;
uint32_t gRegionCount = 0;
uint32_t gWalkLimit = 0xFFFFFFFF;

CheckEntry* Entries(CheckRegion* region) { return reinterpret_cast<CheckEntry*>(region->table.data); }

CheckRegion* RegionOf(const uint8_t* block) {
  auto at = reinterpret_cast<uintptr_t>(block);
  for (uint32_t i = 0; i < gRegionCount; ++i) {
    if (at >= gRegions[i].start && at < gRegions[i].end) return &gRegions[i];
  }
  return nullptr;
}

bool SetEntries(CheckRegion* region, uint32_t capacity) {
  const size_t bytes = static_cast<size_t>(capacity) * sizeof(CheckEntry);
  auto* data = static_cast<uint8_t*>(AllocMem(kDebugPoolId, bytes));
  if (data == nullptr) {
    EXEC_ASSERT(kModule, "Could not allocate new memory check debug table");
    return false;
  }
  std::memset(data, 0, bytes);
  ExecTable& table = region->table;
  if (table.data != nullptr) {
    std::memcpy(data, table.data, table.byteSize);
    FreeMem(table.data);
  }
  table.data = data;
  table.cursor = data;
  table.capacity = capacity;
  table.byteSize = static_cast<uint32_t>(bytes);
  table.entrySize = sizeof(CheckEntry);
  return true;
}

}  // namespace

bool CreateCheckTables() {
  const size_t bytes = kRegions * sizeof(CheckRegion);
  gRegions = static_cast<CheckRegion*>(AllocMem(kDebugPoolId, bytes));
  gRegionCount = 0;
  if (gRegions == nullptr) return false;
  std::memset(gRegions, 0, bytes);
  return true;
}

void DropCheckTables() {
  // Their storage lives in the debug pool, which goes back to the host as a whole.
  gRegions = nullptr;
  gRegionCount = 0;
}

bool CheckTablesPresent() { return gRegions != nullptr; }

bool AddCheckEntry(uint32_t sequence, const uint8_t* block, uint32_t size, const void* context) {
  if (gRegions == nullptr) return false;
  CheckRegion* region = RegionOf(block);
  if (region == nullptr) {
    if (gRegionCount == kRegions) {
      EXEC_ASSERT(kModule, "Could not create a free memory check table");
      return false;
    }
    region = &gRegions[gRegionCount];
    std::memset(region, 0, sizeof *region);
    region->start = reinterpret_cast<uintptr_t>(block);
    region->end = region->start + kWindow;
    if (!SetEntries(region, kFirstEntries)) return false;
    ++gRegionCount;
  }
  CheckEntry* entry = nullptr;
  for (uint32_t i = 0; i < region->table.capacity; ++i) {
    if (Entries(region)[i].block == nullptr) {
      entry = &Entries(region)[i];
      break;
    }
  }
  if (entry == nullptr) {
    const uint32_t used = region->table.capacity;
    if (!SetEntries(region, used * 2)) return false;
    entry = &Entries(region)[used];
  }
  entry->sequence = sequence;
  entry->size = size;
  entry->block = block;
  if (context != nullptr) std::memcpy(entry->context, context, kCheckContextSize);
  else std::memset(entry->context, 0, kCheckContextSize);
  ++region->table.count;
  return true;
}

void ClearCheckEntry(const uint8_t* block) {
  if (gRegions == nullptr) return;
  CheckRegion* region = RegionOf(block);
  if (region == nullptr) return;
  for (uint32_t i = 0; i < region->table.capacity; ++i) {
    CheckEntry& entry = Entries(region)[i];
    if (entry.block == block) {
      entry.block = nullptr;
      entry.size = 0;
      --region->table.count;
      return;
    }
  }
}

uint32_t CheckEntryCount() {
  uint32_t count = 0;
  for (uint32_t i = 0; i < gRegionCount; ++i) count += gRegions[i].table.count;
  return count;
}

void ResetWalkLimit() { gWalkLimit = 0xFFFFFFFF; }

void WalkFreeLists() {
  uint32_t count = 0;
  for (ExecNode* node = FirstNode(&PoolList()->list); node != nullptr; node = NextNode(node)) {
    auto* pool = reinterpret_cast<MemPool*>(node);
    if (pool->id != kMainPoolId) continue;
    const uint32_t tail = pool->gap != 0 ? 4 : 0;
    for (uint8_t* block = FirstFree(pool); block != TailPseudo(pool);) {
      if (++count >= gWalkLimit) {
        // More blocks than there can be since the last walk: a cycle.
        EXEC_ASSERT(kModule, "Memory patch");
        break;
      }
      // Check the block's place before reading it: a wild link must not be followed.
      if (block < pool->firstBlock || block + kMinBlock > pool->end) {
        EXEC_ASSERT(kModule, "Memory patch, block corrupted");
        gWalkLimit = count + 10;
        return;
      }
      const uint32_t size = FreeSize(block);
      uint8_t* next = NextFree(block);
      if (size == 0xAAAAAAAA || next == block || size < kMinBlock ||
          uint64_t{size} + tail > static_cast<uint64_t>(pool->end - block)) {  // widened: no wrap
        EXEC_ASSERT(kModule, "Memory patch, block corrupted");
        gWalkLimit = count + 10;
        return;
      }
      if (pool->gap != 0 && (!GuardIntact(block - 4) || !GuardIntact(block + size))) {
        EXEC_ASSERT(kModule, "Memory patch, block corrupted");
      }
      block = next;
    }
  }
  gWalkLimit = count + 10;
}

}  // namespace mem
