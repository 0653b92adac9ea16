#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "exec/list.h"
#include "exec/log.h"
#include "exec/os.h"
#include "exec/task.h"
#include "test_support.h"

namespace {

using testsupport::AssertRecorder;

// Whether another thread could take the lock right now (without waiting).
os::Wait TryFromOtherThread(os::Mutex* mutex) {
  os::Wait result = os::Wait::kFailed;
  std::thread other([&] {
    result = os::WaitMutex(mutex, 0);
    if (result == os::Wait::kOwned) os::ReleaseMutex(mutex);
  });
  other.join();
  return result;
}

class SemaphoreTest : public testing::Test {
 protected:
  void SetUp() override {
    AssertRecorder::Install();
    SetInstanceIdentifier("/tmp/ts_semaphore_test/");
  }
  void TearDown() override {
    AssertRecorder::Remove();
    SetInstanceIdentifier(nullptr);
  }
};

TEST(InstanceIdentifier, IsTheHexCrc32OfTheBaseDirectory) {
  EXPECT_EQ(Crc32("123456789", 9), 0xCBF43926u);  // the standard check value
  EXPECT_EQ(Crc32("", 0), 0u);
  SetInstanceIdentifier("123456789");
  EXPECT_STREQ(InstanceIdentifier(), "cbf43926");
  SetInstanceIdentifier(nullptr);
  EXPECT_STREQ(InstanceIdentifier(), "");
}

TEST_F(SemaphoreTest, CreateAndDeleteKeepTheSemaphoreList) {
  uint32_t before = CountNodes(&SemaphoreList()->list);
  ExecSemaphore semaphore;
  CreateSemaphore(&semaphore, "ListCheck");
  EXPECT_EQ(semaphore.node.type, kNodeSemaphore);
  EXPECT_STREQ(semaphore.node.name, "ListCheck");
  EXPECT_TRUE(IsListEmpty(&semaphore.waiters));
  EXPECT_EQ(CountNodes(&SemaphoreList()->list), before + 1);
  EXPECT_EQ(FindNameInList(&SemaphoreList()->list, "ListCheck"), &semaphore.node);
  DeleteSemaphore(&semaphore);
  EXPECT_EQ(semaphore.node.type, kNodeRemoved);
  EXPECT_EQ(CountNodes(&SemaphoreList()->list), before);
  EXPECT_EQ(AssertRecorder::Count(), 0u);
}

TEST_F(SemaphoreTest, SameNameInTheSameInstanceMeansSameLock) {
  ExecSemaphore a, b, other, theirs;
  CreateSemaphore(&a, "Shared");
  CreateSemaphore(&b, "Shared");
  CreateSemaphore(&other, "NotShared");
  SetInstanceIdentifier("/tmp/another_copy/");
  CreateSemaphore(&theirs, "Shared");
  ASSERT_EQ(ObtainSemaphore(&a), ObtainResult::kOwned);
  EXPECT_EQ(TryFromOtherThread(b.handle), os::Wait::kTimeout);
  EXPECT_EQ(TryFromOtherThread(other.handle), os::Wait::kOwned);
  EXPECT_EQ(TryFromOtherThread(theirs.handle), os::Wait::kOwned) << "another copy's lock";
  ReleaseSemaphore(&a);
  EXPECT_EQ(TryFromOtherThread(b.handle), os::Wait::kOwned);
  // Deleting one keeps the other usable.
  DeleteSemaphore(&a);
  EXPECT_EQ(ObtainSemaphore(&b), ObtainResult::kOwned);
  ReleaseSemaphore(&b);
  DeleteSemaphore(&b);
  DeleteSemaphore(&other);
  DeleteSemaphore(&theirs);
  EXPECT_EQ(AssertRecorder::Count(), 0u);
}

TEST_F(SemaphoreTest, NestedObtainsNeedAsManyReleases) {
  ExecSemaphore semaphore;
  CreateSemaphore(&semaphore, "Nested");
  for (int i = 0; i < 3; ++i) ASSERT_EQ(ObtainSemaphore(&semaphore), ObtainResult::kOwned);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(TryFromOtherThread(semaphore.handle), os::Wait::kTimeout) << "after " << i;
    ReleaseSemaphore(&semaphore);
  }
  EXPECT_EQ(TryFromOtherThread(semaphore.handle), os::Wait::kOwned);
  DeleteSemaphore(&semaphore);
  EXPECT_EQ(AssertRecorder::Count(), 0u);
}

TEST_F(SemaphoreTest, ReleaseWithoutOwningIsReported) {
  ExecSemaphore semaphore;
  CreateSemaphore(&semaphore, "NotMine");
  ReleaseSemaphore(&semaphore);
  ASSERT_EQ(AssertRecorder::Count(), 1u);
  EXPECT_EQ(AssertRecorder::All()[0].file, "exec\\Task_PC");
  EXPECT_EQ(AssertRecorder::All()[0].message, "ReleaseSemaphore error 288");
  DeleteSemaphore(&semaphore);
}

TEST_F(SemaphoreTest, SemaphoreWithoutSystemObjectFailsEveryUse) {
  ExecSemaphore semaphore;
  CreateSemaphore(&semaphore, "Broken");
  os::CloseMutex(semaphore.handle);
  semaphore.handle = nullptr;  // as after a failed creation
  EXPECT_EQ(ObtainSemaphore(&semaphore), ObtainResult::kFailed);
  DeleteSemaphore(&semaphore);
  ASSERT_EQ(AssertRecorder::Count(), 2u);
  EXPECT_EQ(AssertRecorder::All()[0].message, "ObtainSemaphore: Error code 6");
  EXPECT_EQ(AssertRecorder::All()[1].message, "Release semaphore failed");
  EXPECT_EQ(semaphore.node.type, kNodeRemoved);
  EXPECT_EQ(FindNameInList(&SemaphoreList()->list, "Broken"), nullptr);
}

TEST_F(SemaphoreTest, SecondDeleteIsReportedAndLeavesTheListAlone) {
  ExecSemaphore first, second;
  CreateSemaphore(&first, "First");
  CreateSemaphore(&second, "Second");
  uint32_t count = CountNodes(&SemaphoreList()->list);
  DeleteSemaphore(&first);
  DeleteSemaphore(&first);
  EXPECT_EQ(AssertRecorder::Count(), 1u);
  EXPECT_EQ(CountNodes(&SemaphoreList()->list), count - 1);
  EXPECT_EQ(FindNameInList(&SemaphoreList()->list, "Second"), &second.node);
  DeleteSemaphore(&second);
}

TEST_F(SemaphoreTest, ContendingThreadsAreSerialised) {
  ExecSemaphore semaphore;
  CreateSemaphore(&semaphore, "Counter");
  constexpr int kThreads = 4;
  constexpr int kRounds = 20000;
  long counter = 0;
  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) {
    threads.emplace_back([&] {
      for (int i = 0; i < kRounds; ++i) {
        if (ObtainSemaphore(&semaphore) != ObtainResult::kOwned) return;
        ObtainSemaphore(&semaphore);  // nested, as the memory manager does
        long seen = counter;
        counter = seen + 1;
        ReleaseSemaphore(&semaphore);
        ReleaseSemaphore(&semaphore);
      }
    });
  }
  for (std::thread& t : threads) t.join();
  EXPECT_EQ(counter, static_cast<long>(kThreads) * kRounds);
  DeleteSemaphore(&semaphore);
  EXPECT_EQ(AssertRecorder::Count(), 0u);
}

TEST(Clock, NeverRunsBackwards) {
  ASSERT_TRUE(StartClock());
  uint32_t lastUnits = ReadTime(Clock());
  uint64_t lastMicros = TimeMicroseconds();
  for (int i = 0; i < 100000; ++i) {
    uint32_t units = ReadTime(Clock());
    uint64_t micros = TimeMicroseconds();
    ASSERT_GE(units, lastUnits);
    ASSERT_GE(micros, lastMicros);
    lastUnits = units;
    lastMicros = micros;
  }
  RemoveClock();
  EXPECT_EQ(Clock(), nullptr);
}

TEST(Clock, EarlierCounterReadingsAreHeldAtTheLastOne) {
  ASSERT_TRUE(StartClock());
  ExecClock* clock = Clock();
  // As if a later reading had already been seen (another core's counter ahead).
  clock->lastReading += 1000000000ull * 60;
  uint32_t first = ReadTime(clock);
  uint32_t second = ReadTime(clock);
  EXPECT_EQ(first, second);
  EXPECT_GE(first, 60u * 10000u);
  RemoveClock();
}

TEST(Clock, WithoutCounterMicrosecondsFollowTheTick) {
  ASSERT_EQ(Clock(), nullptr);
  for (int i = 0; i < 1000; ++i) ASSERT_EQ(TimeMicroseconds() % 1000, 0u);
}

}  // namespace
