// Growable tables of fixed-size entries. Allocation failures are reported with
// the assert box and leave the table exactly as it was.
#include "exec/table.h"

#include <cinttypes>
#include <cstdio>

#include "exec/log.h"
#include "exec/memory.h"
#include "exec/text.h"

namespace {

// The size as the memory unit formatter writes it ("1.50 KB"); a request beyond
// 32 bits, which no pool can serve anyway, in plain bytes.
const char* ByteCountText(uint64_t bytes, char* buffer, size_t size) {
  if (bytes <= UINT32_MAX) return FormatMemSize(static_cast<uint32_t>(bytes), buffer, size);
  std::snprintf(buffer, size, "%" PRIu64 " bytes", bytes);
  return buffer;
}

// Entry counts and sizes are 32-bit; a product that does not fit is a request
// no pool can serve, so it is reported like any other failed allocation.
void* AllocTableBytes(uint64_t bytes) {
  if (bytes > UINT32_MAX) return nullptr;
  return AllocMem(0, static_cast<size_t>(bytes));
}

// The assert box for a table that could not get its bytes; format holds one
// %s for the size.
void ReportNoTable(int line, const char* format, uint64_t bytes) {
  char size[kMemSizeTextMax];
  char message[128];
  std::snprintf(message, sizeof(message), format, ByteCountText(bytes, size, sizeof(size)));
  EXEC_ASSERT_AT("Exec\\Table", line, message);
}

}  // namespace

void* AddTable(ExecTable* table, uint32_t entrySize, uint32_t capacity) {
  const uint64_t bytes = static_cast<uint64_t>(entrySize) * capacity;
  void* data = AllocTableBytes(bytes);
  if (data == nullptr) {
    ReportNoTable(30, "AddTable error: No table (could not allocate %s)", bytes);
    return nullptr;
  }
  table->data = static_cast<uint8_t*>(data);
  table->cursor = table->data;
  table->capacity = capacity;
  table->count = 0;
  table->byteSize = static_cast<uint32_t>(bytes);
  table->entrySize = entrySize;
  return data;
}

int ResizeTable(ExecTable* table, uint32_t extraEntries) {
  const uint64_t capacity = static_cast<uint64_t>(table->capacity) + extraEntries;
  const uint64_t bytes = capacity * table->entrySize;
  void* data = capacity > UINT32_MAX ? nullptr : AllocTableBytes(bytes);
  if (data == nullptr) {
    ReportNoTable(110, "ResizeTable: Could not allocate %s", bytes);
    return 0;
  }
  if (capacity == 0) {
    table->count = 0;
  } else if (table->count >= capacity) {
    table->count = static_cast<uint32_t>(capacity - 1);
  }
  const size_t used = static_cast<size_t>(table->count) * table->entrySize;
  if (table->data != nullptr) {
    CopyMem(table->data, data, used);
    FreeMem(table->data);
  }
  table->data = static_cast<uint8_t*>(data);
  table->cursor = table->data + used;
  table->capacity = static_cast<uint32_t>(capacity);
  table->byteSize = static_cast<uint32_t>(bytes);
  return 1;
}

namespace {

int AppendEntry(ExecTable* table, const void* source, uint32_t step, bool grow) {
  // The last slot is never used: an append that would occupy it grows first.
  if (static_cast<uint64_t>(table->count) + 1 >= table->capacity && grow && step > 0) {
    ResizeTable(table, step);
  }
  if (static_cast<uint64_t>(table->count) + 1 >= table->capacity) {
    table->count = table->capacity > 0 ? table->capacity - 1 : 0;
    return 0;
  }
  if (source != nullptr) CopyMem(source, table->cursor, table->entrySize);
  table->cursor += table->entrySize;
  ++table->count;
  return 1;
}

}  // namespace

int AppendTable(ExecTable* table, const void* source, uint32_t step) {
  return AppendEntry(table, source, step, true);
}

int AppendTableNoGrow(ExecTable* table, const void* source) {
  return AppendEntry(table, source, 0, false);
}

void InitTable(ExecTable* table, uint32_t entrySize) {
  table->data = nullptr;
  table->cursor = nullptr;
  table->capacity = 0;
  table->count = 0;
  table->byteSize = 0;
  table->entrySize = entrySize;
}

void FreeTable(ExecTable* table) {
  if (table->data != nullptr) FreeMem(table->data);
  InitTable(table, table->entrySize);
}

void RewindTable(ExecTable* table) {
  table->cursor = table->data;
  table->count = 0;
}
