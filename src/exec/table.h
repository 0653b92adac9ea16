#pragma once
// Growable tables of fixed-size entries with an append cursor. The last slot is
// never used: a table grows when an append would occupy it.
#include <cstddef>
#include <cstdint>

struct ExecTable {
  uint8_t* data;
  uint8_t* cursor;
  uint32_t capacity;  // entries
  uint32_t count;     // entries in use
  uint32_t byteSize;  // capacity * entrySize
  uint32_t entrySize;
};

void* AddTable(ExecTable* table, uint32_t entrySize, uint32_t capacity);  // data or null
int ResizeTable(ExecTable* table, uint32_t extraEntries);                 // 1 or 0
// Append one entry (copied from source when given); grows by step when needed. Returns 1 or 0.
int AppendTable(ExecTable* table, const void* source, uint32_t step);
int AppendTableNoGrow(ExecTable* table, const void* source);
void InitTable(ExecTable* table, uint32_t entrySize);
void FreeTable(ExecTable* table);  // keeps the entry size
void RewindTable(ExecTable* table);
inline void* TableEntry(const ExecTable* table, uint32_t index) {
  return table->data + static_cast<size_t>(index) * table->entrySize;
}
