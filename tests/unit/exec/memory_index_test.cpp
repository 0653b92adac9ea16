// The pools' search index: size classes, first fit over a wide spread of sizes
// against the list walk, the free list itself kept exactly, and a size word
// that would reach into the next free block.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <random>
#include <vector>

#include "exec/memory.h"
#include "exec/memory_internal.h"
#include "memory_fixture.h"

namespace {

using memtest::PoolTest;

TEST(SizeClass, ExactBelow2KiBThenFourPerPowerOfTwo) {
  const struct {
    uint64_t size;
    uint8_t cls;
  } cases[] = {{0, 0},          {16, 1},     {32, 2},           {2032, 127},     {2048, 128},
               {2559, 128},     {2560, 129}, {3072, 130},       {3584, 131},     {4096, 132},
               {0xFFFFFFF0, 211}, {uint64_t{1} << 32, mem::kNoClass}};
  for (const auto& c : cases) EXPECT_EQ(mem::SizeClass(c.size), c.cls) << c.size;
}

// A larger block never has a smaller class, or a search by class would miss it.
TEST(SizeClass, NeverSmallerForALargerSize) {
  uint8_t last = 0;
  for (uint64_t size = 16; size <= 0xFFFFFFF0; size += size < 0x10000 ? 16 : size / 7 / 16 * 16) {
    const uint8_t cls = mem::SizeClass(size);
    ASSERT_GE(cls, last) << size;
    last = cls;
  }
}

// The pool's free list walked as the check option walks it, with its links
// checked both ways.
std::map<uintptr_t, uint32_t> WalkFreeList() {
  std::map<uintptr_t, uint32_t> blocks;
  auto* pool = reinterpret_cast<mem::MemPool*>(FirstNode(&mem::PoolList()->list));
  uint8_t* prev = mem::HeadPseudo(pool);
  for (uint8_t* block = mem::FirstFree(pool); block != mem::TailPseudo(pool);
       block = mem::NextFree(block)) {
    EXPECT_EQ(mem::PrevFree(block), prev);
    blocks[reinterpret_cast<uintptr_t>(block)] = mem::FreeSize(block);
    prev = block;
  }
  EXPECT_EQ(reinterpret_cast<uint8_t*>(pool->freeList.tailPred), prev);
  return blocks;
}

// The index holds exactly what the free list says: a class byte and a bit where
// each free block starts, nothing elsewhere, and every level above the exact
// largest of the entries below (a stale one would only cost time, which no
// other test would see).
void ExpectIndexExact(const std::map<uintptr_t, uint32_t>& freeBlocks) {
  auto* pool = reinterpret_cast<mem::MemPool*>(FirstNode(&mem::PoolList()->list));
  const mem::PoolIndex& index = pool->index;
  std::vector<uint8_t> classes(index.levelSize[0], 0);
  for (auto [start, size] : freeBlocks) {
    classes[(start - reinterpret_cast<uintptr_t>(pool->firstBlock)) / kBlockAlign] = mem::SizeClass(size);
  }
  for (uint32_t step = 0; step < index.levelSize[0]; ++step) {
    ASSERT_EQ(index.level[0][step], classes[step]) << step;
    const bool bit = (index.bitmap[step / 64] >> (step % 64)) & 1;
    ASSERT_EQ(bit, classes[step] != 0) << step;
  }
  for (uint32_t word = 0; word < index.levelSize[1]; ++word) {
    const bool nonEmpty = (index.summary[word / 64] >> (word % 64)) & 1;
    ASSERT_EQ(nonEmpty, index.bitmap[word] != 0) << word;
  }
  for (uint32_t k = 1; k < index.levels; ++k) {
    for (uint32_t at = 0; at < index.levelSize[k]; ++at) {
      uint8_t largest = 0;
      for (uint32_t child = at * mem::kFan; child < (at + 1) * mem::kFan && child < index.levelSize[k - 1];
           ++child) {
        largest = std::max(largest, index.level[k - 1][child]);
      }
      ASSERT_EQ(index.level[k][at], largest) << "level " << k << " entry " << at;
    }
  }
}

// Requests from 1 byte to 64 KiB spread evenly over the powers of two, so that
// blocks of every class, exact and not, are split, joined and searched for.
TEST_F(PoolTest, WideSizesMatchTheListWalkAndKeepTheList) {
  for (uint32_t options : {0u, kMemGuards}) {
    SCOPED_TRACE(options);
    Start(options);
    const uint32_t gap = options ? kGuardGap : 0;
    const uint64_t initialFree = AvailPoolMem();
    std::mt19937 random(77);
    std::uniform_real_distribution<double> logSize(0.0, 16.0);
    std::vector<void*> live;
    memtest::ListModel* model = nullptr;
    for (int i = 0; i < 20000; ++i) {
      if (live.empty() || (live.size() < 200 && random() % 2 == 0)) {
        const size_t size = static_cast<size_t>(std::exp2(logSize(random)));
        uint8_t* p = static_cast<uint8_t*>(AllocMem(0, size));
        ASSERT_NE(p, nullptr);
        if (model == nullptr) {
          model = new memtest::ListModel(reinterpret_cast<uintptr_t>(p - 4),
                                         static_cast<uint32_t>(initialFree), gap);
        }
        ASSERT_EQ(model->Allocate(BlockSizeFor(size)), reinterpret_cast<uintptr_t>(p - 4)) << i;
        live.push_back(p);
      } else {
        const size_t at = random() % live.size();
        uint8_t* p = static_cast<uint8_t*>(live[at]);
        live[at] = live.back();
        live.pop_back();
        model->Release(reinterpret_cast<uintptr_t>(p - 4), GetMemSize(p));
        FreeMem(p);
      }
      if (i % 499 == 0) {
        ASSERT_EQ(WalkFreeList(), model->Free()) << i;
      }
      if (i % 2999 == 0) {
        ExpectIndexExact(model->Free());
        ASSERT_FALSE(HasFatalFailure());
      }
    }
    for (void* p : live) FreeMem(p);
    EXPECT_EQ(AvailPoolMem(), initialFree);
    EXPECT_EQ(CountFreeBlocks(), 1u);
    EXPECT_EQ(AssertCount(), 0u) << LastAssert();
    delete model;
    RemoveAlloc();
  }
}

// A size word grown past the gap in front of the next free block would make the
// release swallow that block's start: it is refused like any damaged size word.
TEST_F(PoolTest, SizeWordReachingIntoTheNextFreeBlockIsRefused) {
  for (uint32_t options : {0u, kMemGuards}) {
    SCOPED_TRACE(options);
    Start(options);
    uint8_t* a = static_cast<uint8_t*>(AllocMem(0, 100));
    void* b = AllocMem(0, 100);
    AllocMem(0, 100);
    FreeMem(b);
    const uint64_t free = AvailPoolMem();
    uint32_t size = GetMemSize(a);
    mem::StoreU32(a - 4, size + 16);
    FreeMem(a);
    EXPECT_EQ(LastAssert(), "FreeMem: Start Header corrupted.");
    EXPECT_EQ(AvailPoolMem(), free);
    EXPECT_EQ(CountFreeBlocks(), 2u);
    mem::StoreU32(a - 4, size);  // sound again: the release goes through
    FreeMem(a);
    EXPECT_EQ(CountFreeBlocks(), 2u);  // a joined b
    EXPECT_EQ(AssertCount(), 1u);
    RemoveAlloc();
  }
}

// Releases find their neighbours in the index across its nodes: blocks far apart
// (more than one 64 KiB node between them) still join and still report a
// release of a block inside a free one.
TEST_F(PoolTest, NeighboursAcrossDistantNodes) {
  Start(kMemStrictRelease);
  std::vector<void*> blocks;
  for (int i = 0; i < 8; ++i) blocks.push_back(AllocMem(0, 200000));
  for (int i = 1; i < 8; i += 2) FreeMem(blocks[i]);
  EXPECT_EQ(CountFreeBlocks(), 4u);  // the last one joined the rest of the pool
  FreeMem(static_cast<uint8_t*>(blocks[3]) + 160000);  // inside a free block
  EXPECT_EQ(LastAssert().rfind("FreeMem: Address ", 0), 0u);
  for (int i = 0; i < 8; i += 2) FreeMem(blocks[i]);
  EXPECT_EQ(CountFreeBlocks(), 1u);
  EXPECT_EQ(AssertCount(), 1u);
}

}  // namespace
