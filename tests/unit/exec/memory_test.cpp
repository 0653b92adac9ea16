// Memory manager: block geometry, first fit and merging against a plain model of
// the address-ordered list, every debugging option, and new/delete routing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <random>
#include <thread>
#include <utility>
#include <vector>

#include "exec/list.h"
#include "exec/os.h"
#include "exec/task.h"
#include "exec/memory.h"
#include "exec/memory_internal.h"
#include "memory_fixture.h"

namespace {

using memtest::PoolTest;

uint8_t* Bytes(void* p) { return static_cast<uint8_t*>(p); }

TEST(BlockSize, RequestPlusSizeWordRoundedTo16WithMinimum32) {
  const struct {
    size_t request;
    uint32_t block;
  } cases[] = {{0, 32}, {1, 32}, {13, 32}, {28, 32}, {29, 48}, {44, 48}, {45, 64},
               {508, 512}, {509, 528}, {0xFFFFFFEC, 0xFFFFFFF0}, {0xFFFFFFED, 0},
               {static_cast<size_t>(-1), 0}};
  for (const auto& c : cases) EXPECT_EQ(BlockSizeFor(c.request), c.block) << c.request;
}

struct OptionCase {
  const char* name;
  uint32_t options;
  uint32_t debugSize;
};
const OptionCase kOptionCases[] = {
    {"plain", 0, 0}, {"guards", kMemGuards, 0}, {"fill", kMemFill, 0}, {"strict", kMemStrictRelease, 0},
    {"threadsafe", kMemThreadSafe, 0}, {"check", kMemCheck, 0x100000},
    {"all", kMemThreadSafe | kMemCheck | kMemFill | kMemStrictRelease | kMemGuards, 0x100000},
};

// Mixed allocations and releases in random order: every address 16-aligned, no
// two blocks overlapping, the same blocks as the list walk, HeldPoolMem the sum of
// what the live blocks hold however fragmented, and the pool back to one free
// block of its first size at the end.
TEST_F(PoolTest, RandomWorkloadMatchesListWalkUnderEveryOption) {
  for (const OptionCase& option : kOptionCases) {
    SCOPED_TRACE(option.name);
    Start(option.options, option.debugSize);
    const uint32_t gap = (option.options & kMemGuards) ? kGuardGap : 0;
    const uint64_t initialFree = AvailPoolMem();
    EXPECT_EQ(TotalPoolMem(), memtest::kMainSize);
    EXPECT_EQ(TotalPoolMem() - AvailPoolMem(), EmptyPoolOverhead());
    EXPECT_EQ(CountFreeBlocks(), 1u);

    std::mt19937 random(1234);
    std::vector<std::pair<uint8_t*, uint8_t>> live;
    memtest::ListModel* model = nullptr;
    const int operations = (option.options & kMemCheck) ? 3000 : 30000;
    uint64_t held = 0;
    for (int i = 0; i < operations; ++i) {
      const bool allocate = live.empty() || (live.size() < 600 && random() % 100 < 55);
      if (allocate) {
        size_t size = random() % 4 == 0 ? random() % 3000 : random() % 200;
        uint8_t* p = Bytes(AllocMem(0, size));
        ASSERT_NE(p, nullptr);
        if (model == nullptr) {
          model = new memtest::ListModel(reinterpret_cast<uintptr_t>(p - 4), static_cast<uint32_t>(initialFree),
                                gap);
        }
        ASSERT_EQ(reinterpret_cast<uintptr_t>(p) % 16, 0u);
        ASSERT_EQ(GetMemSize(p), BlockSizeFor(size));
        ASSERT_EQ(model->Allocate(BlockSizeFor(size)), reinterpret_cast<uintptr_t>(p - 4));
        uint8_t tag = static_cast<uint8_t>(i);
        std::memset(p, tag, GetMemSize(p) - 4);
        live.emplace_back(p, tag);
        held += GetMemHeld(p);
      } else {
        size_t at = random() % live.size();
        auto [p, tag] = live[at];
        live[at] = live.back();
        live.pop_back();
        const uint32_t usable = GetMemSize(p) - 4;
        ASSERT_TRUE(std::all_of(p, p + usable, [tag = tag](uint8_t b) { return b == tag; }));
        model->Release(reinterpret_cast<uintptr_t>(p - 4), GetMemSize(p));
        held -= GetMemHeld(p);
        FreeMem(p);
        ASSERT_EQ(AvailPoolMem(), model->FreeBytes());
      }
      if (i % 97 == 0) {
        ASSERT_EQ(HeldPoolMem(), held);
      }
    }
    ASSERT_EQ(CountFreeBlocks(), model->Blocks());
    // The totals also count the gap in front of every free block after the first.
    EXPECT_GT(CountFreeBlocks(), 1u);
    EXPECT_EQ(TotalPoolMem() - EmptyPoolOverhead() - AvailPoolMem(),
              held + uint64_t{CountFreeBlocks() - 1} * gap);
    for (auto [p, tag] : live) FreeMem(p);
    EXPECT_EQ(AvailPoolMem(), initialFree);
    EXPECT_EQ(CountFreeBlocks(), 1u);
    EXPECT_EQ(HeldPoolMem(), 0u);
    EXPECT_EQ(AssertCount(), 0u) << LastAssert();
    delete model;
    RemoveAlloc();
  }
}

TEST_F(PoolTest, EmptyPoolOverheadIsRecordAlignmentAndGuards) {
  Start(0);
  const uint64_t plain = EmptyPoolOverhead();
  EXPECT_GE(plain, sizeof(mem::MemPool));
  EXPECT_LT(plain, sizeof(mem::MemPool) + 48);
  RemoveAlloc();
  Start(kMemGuards);  // the guards may fit in the alignment slack
  EXPECT_EQ(TotalPoolMem() - AvailPoolMem(), EmptyPoolOverhead());
  EXPECT_GE(EmptyPoolOverhead(), plain);
  EXPECT_LT(EmptyPoolOverhead(), plain + 32);
}

// A, C, B released: one block, joined with the free rest of the pool once D goes.
TEST_F(PoolTest, ReleaseMergesWithBothNeighbours) {
  for (uint32_t options : {0u, kMemGuards}) {
    Start(options);
    const uint32_t gap = options ? kGuardGap : 0;
    const uint64_t initialFree = AvailPoolMem();
    uint8_t* a = Bytes(AllocMem(0, 100));
    uint8_t* b = Bytes(AllocMem(0, 200));
    uint8_t* c = Bytes(AllocMem(0, 300));
    uint8_t* d = Bytes(AllocMem(0, 50));
    ASSERT_EQ(b, a + GetMemSize(a) + gap);
    ASSERT_EQ(c, b + GetMemSize(b) + gap);
    const uint32_t joined = GetMemSize(a) + GetMemSize(b) + GetMemSize(c) + 2 * gap;

    FreeMem(a);
    FreeMem(c);
    EXPECT_EQ(CountFreeBlocks(), 3u);
    FreeMem(b);
    EXPECT_EQ(CountFreeBlocks(), 2u);
    // The joined block is an exact fit for a request of its size.
    uint8_t* whole = Bytes(AllocMem(0, joined - 4));
    EXPECT_EQ(whole, a);
    EXPECT_EQ(CountFreeBlocks(), 1u);
    FreeMem(whole);
    FreeMem(d);
    EXPECT_EQ(CountFreeBlocks(), 1u);
    EXPECT_EQ(AvailPoolMem(), initialFree);
    RemoveAlloc();
  }
}

// A hole is taken when it fits exactly or leaves a remainder that can be a free
// block; one 16 bytes larger (16 or 32 with guard words) is passed over.
TEST_F(PoolTest, ExactFitTakenNearFitPassedOver) {
  const struct {
    uint32_t options;
    uint32_t extra;
    bool taken;
  } cases[] = {{0, 0, true},           {0, 16, false},          {0, 32, true},
               {kMemGuards, 0, true},  {kMemGuards, 16, false}, {kMemGuards, 32, false},
               {kMemGuards, 48, true}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << "options " << c.options << " extra " << c.extra);
    Start(c.options);
    void* hole = AllocMem(0, 32 + c.extra - 4);
    void* keep = AllocMem(0, 1);
    FreeMem(hole);
    void* got = AllocMem(0, 28);
    EXPECT_EQ(got == hole, c.taken);
    if (!c.taken) {
      EXPECT_GT(got, keep);
    }
    RemoveAlloc();
  }
}

TEST_F(PoolTest, GuardDamageAtEitherEndKeepsTheBlock) {
  Start(kMemGuards);
  uint8_t* front = Bytes(AllocMem(0, 40));
  uint8_t* back = Bytes(AllocMem(0, 40));
  AllocMem(0, 1);
  const uint64_t free = AvailPoolMem();
  back[GetMemSize(back) - 4] ^= 0xFF;  // one byte past the block
  FreeMem(back);
  EXPECT_EQ(LastAssert(), "FreeMem: End Header corrupted.");
  front[-5] ^= 0xFF;  // last byte of the start guard
  FreeMem(front);
  EXPECT_EQ(LastAssert(), "FreeMem: Start Header corrupted.");
  EXPECT_EQ(AssertCount(), 2u);
  EXPECT_EQ(AvailPoolMem(), free);
}

TEST_F(PoolTest, DoubleReleaseLeavesTheFreeListAlone) {
  for (uint32_t options : {0u, kMemStrictRelease}) {
    Start(options);
    void* a = AllocMem(0, 64);
    void* b = AllocMem(0, 64);
    FreeMem(a);
    const uint64_t free = AvailPoolMem();
    FreeMem(a);  // a free block's own start
    EXPECT_EQ(AvailPoolMem(), free);
    EXPECT_EQ(CountFreeBlocks(), 2u);
    FreeMem(b);  // a and b join the rest
    FreeMem(b);  // now inside a free block
    EXPECT_EQ(CountFreeBlocks(), 1u);
    EXPECT_EQ(AssertCount(), options ? 2u : 0u);
    if (options) {
      EXPECT_EQ(LastAssert().rfind("FreeMem: Address ", 0), 0u);
      EXPECT_NE(LastAssert().find(" already free.\n"), std::string::npos);
    }
    RemoveAlloc();
  }
}

TEST_F(PoolTest, NullReleaseReportedOnlyWhenStrict) {
  Start(0);
  FreeMem(nullptr);
  EXPECT_EQ(AssertCount(), 0u);
  gMemOptions |= kMemStrictRelease;
  FreeMem(nullptr);
  EXPECT_EQ(LastAssert(), "FreeMem: Free NULL address");
}

TEST_F(PoolTest, ForeignAddressIsNotReleased) {
  Start(0);
  int local = 0;
  uint8_t* p = Bytes(AllocMem(0, 64));
  const uint64_t free = AvailPoolMem();
  FreeMem(&local);
  FreeMem(p + 1);
  EXPECT_EQ(AssertCount(), 2u);
  EXPECT_EQ(LastAssert().rfind("FreeMem: Address 0x", 0), 0u);
  EXPECT_EQ(AvailPoolMem(), free);
}

TEST_F(PoolTest, ExhaustionReturnsNullWithTheMessage) {
  Start(0);
  EXPECT_EQ(AllocMem(0, memtest::kMainSize), nullptr);
  EXPECT_EQ(LastAssert(), "AllocMem: Could not allocate memory\n");
  EXPECT_EQ(AllocMem(0, static_cast<size_t>(-1)), nullptr);
  EXPECT_EQ(AllocMem(kDebugPoolId, 16), nullptr);  // no debug pool
  EXPECT_EQ(AssertCount(), 3u);
  std::vector<void*> all;
  while (void* p = AllocMem(0, 0x10000)) all.push_back(p);
  EXPECT_GT(all.size(), 120u);
  for (void* p : all) FreeMem(p);
  EXPECT_EQ(CountFreeBlocks(), 1u);
}

TEST_F(PoolTest, FillPatterns) {
  Start(kMemFill);
  uint8_t* p = Bytes(AllocMem(0, 100));
  AllocMem(0, 1);
  const uint32_t usable = GetMemSize(p) - 4;
  EXPECT_TRUE(std::all_of(p, p + usable, [](uint8_t b) { return b == 0x11; }));
  FreeMem(p);
  // Past the free block's links and size, the released bytes read 0xAA.
  EXPECT_TRUE(std::all_of(p + 20, p + usable, [](uint8_t b) { return b == 0xAA; }));
  gMemOptions &= ~kMemFill;
  uint8_t* fresh = Bytes(AllocMem(0, 200000));  // untouched pool memory
  EXPECT_TRUE(std::all_of(fresh + 20, fresh + 200000, [](uint8_t b) { return b == 0xAA; }));
}

TEST_F(PoolTest, CheckTablesRecordLiveBlocks) {
  Start(kMemCheck, 0x40000);
  std::vector<void*> blocks;
  for (int i = 0; i < 100; ++i) blocks.push_back(AllocMem(0, 24));  // one region, table grows
  EXPECT_EQ(mem::CheckEntryCount(), 100u);
  for (int i = 0; i < 100; i += 2) FreeMem(blocks[i]);
  EXPECT_EQ(mem::CheckEntryCount(), 50u);
  blocks.push_back(AllocMem(0, 0x200000));  // lands in another 1 MiB window
  EXPECT_EQ(mem::CheckEntryCount(), 51u);
  EXPECT_EQ(AssertCount(), 0u) << LastAssert();
}

TEST_F(PoolTest, WalkFindsDamagedFreeBlocks) {
  Start(kMemCheck | kMemGuards, 0x40000);
  uint8_t* a = Bytes(AllocMem(0, 64));
  AllocMem(0, 64);
  FreeMem(a);
  uint8_t* block = a - 4;
  ASSERT_EQ(AssertCount(), 0u);

  // Each walk runs on the next AllocMem; the debug pool serves it, so the damaged
  // main pool is only looked at, never used.
  const uint32_t size = mem::FreeSize(block);
  mem::SetFreeSize(block, 0xAAAAAAAA);
  AllocMem(kDebugPoolId, 16);
  EXPECT_EQ(LastAssert(), "Memory patch, block corrupted");
  mem::SetFreeSize(block, size);

  uint8_t* next = mem::NextFree(block);
  mem::SetNextFree(block, block);
  AllocMem(kDebugPoolId, 16);
  EXPECT_EQ(AssertCount(), 2u);
  mem::SetNextFree(block, next);

  block[size] ^= 1;  // its end guard
  AllocMem(kDebugPoolId, 16);
  EXPECT_EQ(AssertCount(), 3u);
  EXPECT_EQ(LastAssert(), "Memory patch, block corrupted");
  block[size] ^= 1;
  AllocMem(kDebugPoolId, 16);
  EXPECT_EQ(AssertCount(), 3u);

  // Sizes whose sum with the guard gap wraps in 32 bits must not pass for
  // sizes that fit: the guard check would read gigabytes past the block.
  uint32_t count = 3;
  for (uint32_t damaged : {0xFFFFFFFFu, 0xFFFFFFFCu, 0xFFFFFFF0u}) {
    mem::SetFreeSize(block, damaged);
    AllocMem(kDebugPoolId, 16);
    EXPECT_EQ(AssertCount(), ++count) << std::hex << damaged;
    EXPECT_EQ(LastAssert(), "Memory patch, block corrupted");
  }
  mem::SetFreeSize(block, size);
}

TEST_F(PoolTest, BreakSettings) {
  Start(0);
  gMemBreakAtNumber = 3;
  AllocMem(0, 8);
  AllocMem(0, 8);
  EXPECT_EQ(AssertCount(), 0u);
  uint8_t* third = Bytes(AllocMem(0, 8));
  EXPECT_EQ(LastAssert(), "Alloc N\xB0: 0x3 done here");
  FreeMem(third);
  gMemBreakAtAddress = reinterpret_cast<uintptr_t>(third - 4);
  EXPECT_EQ(AllocMem(0, 8), third);
  EXPECT_EQ(LastAssert().rfind("Alloc adr: 0x", 0), 0u);
  EXPECT_EQ(AssertCount(), 2u);
}

TEST_F(PoolTest, PoolsAreListedInMemoryFreeList) {
  Start(0, 4096);
  ExecNode* list = FindNameInList(&AnchorList()->list, "memory FREE list");
  ASSERT_NE(list, nullptr);
  const ExecListHeader* pools = &reinterpret_cast<ExecList*>(list)->list;
  ASSERT_EQ(CountNodes(pools), 2u);
  EXPECT_STREQ(GetNthNode(pools, 0)->name, "Main ram");
  EXPECT_EQ(GetNthNode(pools, 0)->priority, 0);
  EXPECT_EQ(GetNthNode(pools, 0)->type, kNodeMemPool);
  EXPECT_STREQ(GetNthNode(pools, 1)->name, "Debug (safe) ram");
  EXPECT_EQ(GetNthNode(pools, 1)->priority, -5);
  EXPECT_EQ(TotalPoolMem(), memtest::kMainSize);  // main pools only
  void* debug = AllocMem(kDebugPoolId, 100);
  ASSERT_NE(debug, nullptr);
  FreeMem(debug);  // back to the debug pool, not the main one
  EXPECT_EQ(CountFreeBlocks(), 1u);
  RemoveAlloc();
  EXPECT_EQ(FindNameInList(&AnchorList()->list, "Memory free list"), nullptr);
}

TEST_F(PoolTest, InitFailureReportsAndLeavesNothingBehind) {
  SetLogDirectory((testing::TempDir() + "/").c_str());
  SetAssertHook(memtest::CountAssert);
  memtest::Asserts().clear();
  const uint32_t lists = CountNodes(&AnchorList()->list);
  EXPECT_FALSE(_InitAlloc(0x400000, 4096, false));
  EXPECT_EQ(LastAssert(), "_InitAlloc: Could not allocate 4194304 bytes from host.");
  EXPECT_EQ(LogSwitch(), 1);
  EXPECT_FALSE(MemoryReady());
  EXPECT_EQ(CountNodes(&AnchorList()->list), lists);
  EXPECT_FALSE(_InitAlloc(0x400000, 0, false));  // InitExec retries
  EXPECT_TRUE(_InitAlloc(memtest::kMainSize, 0, false));
  EXPECT_EQ(CountNodes(&AnchorList()->list), lists + 1);
  SetLogSwitch(0);
  SetLogDirectory("");
}

// A thread-safe manager whose lock cannot be made does not start: it would
// otherwise run unlocked and show a box at every call.
TEST_F(PoolTest, NoLockNoThreadSafeStart) {
  testsupport::AssertRecorder::Install();
  const uint32_t lists = CountNodes(&AnchorList()->list);
  const uint32_t semaphores = CountNodes(&SemaphoreList()->list);
  gMemOptions |= kMemThreadSafe;
  os::FailMutexCreationsForTest(1);
  EXPECT_FALSE(_InitAlloc(memtest::kMainSize, 0, false));
  EXPECT_EQ(AssertCount(), 1u) << "the failed creation, once";
  EXPECT_FALSE(MemoryReady());
  EXPECT_EQ(CountNodes(&AnchorList()->list), lists);
  EXPECT_EQ(CountNodes(&SemaphoreList()->list), semaphores);
  EXPECT_TRUE(_InitAlloc(memtest::kMainSize, 0, false)) << "a retry can still succeed";
  void* block = AllocMem(0, 64);
  EXPECT_NE(block, nullptr);
  FreeMem(block);
  EXPECT_EQ(AssertCount(), 1u);
}

TEST_F(PoolTest, HostHeapModeBypassesThePools) {
  SetAssertHook(memtest::CountAssert);
  ASSERT_TRUE(_InitAlloc(memtest::kMainSize, 0, true));
  EXPECT_TRUE(MemoryReady());
  EXPECT_EQ(TotalPoolMem(), 0u);
  void* p = AllocMem(0, 100);
  ASSERT_NE(p, nullptr);
  EXPECT_FALSE(IsPoolAddress(p));
  FreeMem(p);
  void* object = ExecNew(40);
  EXPECT_FALSE(IsPoolAddress(object));
  ExecDelete(object);
}

// A fresh process whose pools were never started: requests fail cleanly and
// releases of foreign addresses are refused, nothing crashes. The threadsafe
// death-test style re-runs this test in a new process, so its state is fresh.
TEST(PoolsNeverStarted, RequestsFailCleanly) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_EXIT(
      {
        SetAssertHook([](const char*, int, const char*) { return false; });
        int local = 0;
        bool ok = AllocMem(0, 16) == nullptr && !IsPoolAddress(&local) && TotalPoolMem() == 0;
        FreeMem(nullptr);
        std::exit(ok ? 0 : 1);
      },
      testing::ExitedWithCode(0), "");
}

// Objects made before start-up, or released after removal, never reach the
// wrong heap: release goes by address, not by the ready bit.
TEST_F(PoolTest, NewAndDeleteCrossStartAndRemove) {
  void* early = ExecNew(24);
  ASSERT_NE(early, nullptr);
  EXPECT_FALSE(IsPoolAddress(early));
  Start(kMemStrictRelease);
  const uint64_t free = AvailPoolMem();
  void* inPool = ExecNew(24);
  void* empty = ExecNew(0);
  EXPECT_TRUE(IsPoolAddress(inPool));
  EXPECT_NE(empty, inPool);
  ExecDelete(early);  // C runtime heap
  ExecDelete(empty);
  EXPECT_EQ(AssertCount(), 0u);
  RemoveAlloc();
  EXPECT_FALSE(IsPoolAddress(inPool));
  ExecDelete(inPool);  // its pool is gone: dropped
  void* late = ExecNew(24);
  EXPECT_FALSE(IsPoolAddress(late));
  ExecDelete(late);
  EXPECT_EQ(AssertCount(), 0u);
  EXPECT_GT(free, 0u);
}

// A held block goes back on every way out; a released or moved-from holder
// leaves it to its new owner.
TEST_F(PoolTest, PoolBlockGivesItsBlockBackUnlessHandedOn) {
  Start(kMemStrictRelease);
  const uint64_t free = AvailPoolMem();
  { PoolBlock held(100); ASSERT_TRUE(held); }
  EXPECT_EQ(AvailPoolMem(), free);
  void* handedOn = nullptr;
  {
    PoolBlock held(100);
    PoolBlock moved(std::move(held));
    EXPECT_FALSE(held);
    handedOn = moved.Release();
    PoolBlock none = PoolBlock::Adopt(nullptr);
  }
  EXPECT_LT(AvailPoolMem(), free);
  { PoolBlock adopted = PoolBlock::Adopt(handedOn); }
  EXPECT_EQ(AvailPoolMem(), free);
  EXPECT_EQ(AssertCount(), 0u);
}

TEST_F(PoolTest, TwoThreadsShareThePools) {
  Start(kMemThreadSafe | kMemStrictRelease);
  const uint64_t initialFree = AvailPoolMem();
  auto hammer = [](unsigned seed) {
    std::mt19937 random(seed);
    std::vector<uint8_t*> live;
    for (int i = 0; i < 40000; ++i) {
      if (live.empty() || (live.size() < 200 && random() % 2 == 0)) {
        uint8_t* p = Bytes(AllocMem(0, random() % 300));
        if (p == nullptr) continue;
        p[0] = static_cast<uint8_t>(seed);
        live.push_back(p);
      } else {
        size_t at = random() % live.size();
        if (live[at][0] != static_cast<uint8_t>(seed)) std::abort();
        FreeMem(live[at]);
        live[at] = live.back();
        live.pop_back();
      }
      if (i % 1000 == 0) (void)AvailPoolMem();
    }
    for (uint8_t* p : live) FreeMem(p);
  };
  std::thread one(hammer, 1u);
  std::thread two(hammer, 2u);
  one.join();
  two.join();
  EXPECT_EQ(AssertCount(), 0u) << LastAssert();
  EXPECT_EQ(AvailPoolMem(), initialFree);
  EXPECT_EQ(CountFreeBlocks(), 1u);
}

TEST(CopyMem, OverlapsInEitherDirection) {
  for (size_t length : {8u, 7u}) {
    const char text[] = "0123456789abcdef";
    char buffer[32];
    std::memcpy(buffer, text, sizeof text);
    CopyMem(buffer, buffer + 3, length);
    EXPECT_EQ(std::string(buffer + 3, length), std::string(text, length));
    std::memcpy(buffer, text, sizeof text);
    CopyMem(buffer + 3, buffer, length);
    EXPECT_EQ(std::string(buffer, length), std::string(text + 3, length));
  }
  char zeroed[5] = {1, 2, 3, 4, 5};
  ClearMem(zeroed, 4);
  EXPECT_EQ(zeroed[3], 0);
  EXPECT_EQ(zeroed[4], 5);
}

}  // namespace
