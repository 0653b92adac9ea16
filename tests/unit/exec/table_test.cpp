// Tables: growth before the last slot, failure leaving the table as it was.
#include <gtest/gtest.h>

#include "exec/memory.h"
#include "exec/table.h"
#include "memory_fixture.h"

namespace {

class TableTest : public memtest::PoolTest {};

TEST_F(TableTest, LastSlotIsNeverUsedAndGrowthKeepsEntries) {
  Start(0);
  ExecTable table;
  InitTable(&table, 8);
  ASSERT_NE(AddTable(&table, 8, 16), nullptr);
  EXPECT_EQ(table.byteSize, 128u);
  for (uint64_t i = 0; i < 15; ++i) ASSERT_EQ(AppendTable(&table, &i, 16), 1);
  EXPECT_EQ(table.capacity, 16u);
  EXPECT_EQ(table.count, 15u);
  EXPECT_EQ(AppendTableNoGrow(&table, nullptr), 0);
  EXPECT_EQ(table.count, 15u);

  uint64_t value = 15;
  ASSERT_EQ(AppendTable(&table, &value, 16), 1);
  EXPECT_EQ(table.capacity, 32u);
  EXPECT_EQ(table.count, 16u);
  EXPECT_EQ(table.byteSize, 256u);
  for (uint32_t i = 0; i < 16; ++i) EXPECT_EQ(*static_cast<uint64_t*>(TableEntry(&table, i)), i);
  EXPECT_EQ(table.cursor, static_cast<uint8_t*>(TableEntry(&table, 16)));

  EXPECT_EQ(AppendTable(&table, nullptr, 0), 1);  // caller fills the entry
  EXPECT_EQ(table.cursor, static_cast<uint8_t*>(TableEntry(&table, 17)));

  RewindTable(&table);
  EXPECT_EQ(table.count, 0u);
  EXPECT_EQ(table.cursor, table.data);
  FreeTable(&table);
  EXPECT_EQ(table.data, nullptr);
  EXPECT_EQ(table.capacity, 0u);
  EXPECT_EQ(table.entrySize, 8u);
  // An empty table grows from nothing.
  EXPECT_EQ(AppendTable(&table, &value, 4), 1);
  EXPECT_EQ(table.capacity, 4u);
  FreeTable(&table);
  EXPECT_EQ(CountFreeBlocks(), 1u);
  EXPECT_EQ(AssertCount(), 0u);
}

TEST_F(TableTest, FailedAllocationLeavesTheTable) {
  Start(0);
  ExecTable table;
  InitTable(&table, 16);
  ASSERT_NE(AddTable(&table, 16, 4), nullptr);
  uint8_t entry[16] = {7};
  AppendTable(&table, entry, 4);
  const ExecTable before = table;

  EXPECT_EQ(ResizeTable(&table, 0x100000), 0);  // 16 MiB: more than the pool
  EXPECT_EQ(LastAssert().rfind("ResizeTable: Could not allocate ", 0), 0u);
  EXPECT_EQ(table.data, before.data);
  EXPECT_EQ(table.capacity, before.capacity);
  EXPECT_EQ(table.count, 1u);
  EXPECT_EQ(table.data[0], 7);
  EXPECT_EQ(ResizeTable(&table, 0xFFFFFFFF), 0);  // capacity beyond 32 bits
  EXPECT_EQ(table.capacity, before.capacity);

  ExecTable none;
  InitTable(&none, 16);
  EXPECT_EQ(AddTable(&none, 0x10000, 0x10000), nullptr);  // 4 GiB
  EXPECT_EQ(LastAssert().rfind("AddTable error: No table (could not allocate ", 0), 0u);
  EXPECT_EQ(none.data, nullptr);
  EXPECT_EQ(none.entrySize, 16u);
  FreeTable(&table);
}

TEST_F(TableTest, ShrinkingKeepsTheLastSlotFree) {
  Start(0);
  ExecTable table;
  InitTable(&table, 4);
  AddTable(&table, 4, 8);
  for (uint32_t i = 0; i < 7; ++i) AppendTable(&table, &i, 0);
  EXPECT_EQ(table.count, 7u);
  // A resize to fewer entries than in use keeps capacity - 1 of them.
  table.capacity = 2;  // as if the table had been made smaller
  ASSERT_EQ(ResizeTable(&table, 2), 1);
  EXPECT_EQ(table.capacity, 4u);
  EXPECT_EQ(table.count, 3u);
  EXPECT_EQ(*static_cast<uint32_t*>(TableEntry(&table, 2)), 2u);
  FreeTable(&table);
}

}  // namespace
