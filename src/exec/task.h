#pragma once
// Named semaphores (recursive, per thread), the task registry, and the
// performance-counter clock.
#include <cstddef>
#include <cstdint>
#include "exec/list.h"

namespace os { struct Mutex; struct CriticalSection; }

struct ExecSemaphore {
  ExecNode node;  // type 7, 0xFFFF once deleted
  os::Mutex* handle;
  uint32_t reserved0;
  ExecListHeader waiters;  // empty
  uint32_t reserved1;
};

enum class ObtainResult { kOwned, kTimeout, kFailed };

// Named objects are called <instance identifier><name>; two with one name share a lock.
void CreateSemaphore(ExecSemaphore* semaphore, const char* name);
void DeleteSemaphore(ExecSemaphore* semaphore);
ObtainResult ObtainSemaphore(ExecSemaphore* semaphore);  // waits at most 20 s
void ReleaseSemaphore(ExecSemaphore* semaphore);
ExecList* SemaphoreList();  // "Semaphore"

struct ExecTask {
  ExecNode node;  // "System Base", type 5, priority 128
  uint8_t state;  // 2 running, 5 removed
  void* thread;
  uint32_t reserved[5];
  os::CriticalSection* critical;
  uint32_t reserved1;
};
constexpr uint8_t kTaskRunning = 2;
constexpr uint8_t kTaskRemoved = 5;

bool StartTaskSystem();
void RemoveTaskSystem();
ExecTask* CurrentTask();

// Clock: 10,000 units per second once InitExec has set it up.
struct ExecClock {
  uint64_t lastReading;
  uint64_t base;
  uint64_t lastTime;
  uint32_t calibrationDelayMs;  // 2000
  uint32_t recalibration;       // 0xFFFFFFFF
  uint32_t rate;                // units per second
  uint32_t mode;                // 2 = performance counter only
  uint32_t extra0, extra1;      // 4, 1
};
bool StartClock();
void RemoveClock();
ExecClock* Clock();                 // null when there is no performance counter
uint32_t ReadTime(ExecClock* clock);  // low 32 bits of the time in clock units
uint64_t TimeMicroseconds();        // falls back to the millisecond tick * 1000
// The identifier prefix of named semaphores: "%x" of the CRC-32 of the base directory.
void SetInstanceIdentifier(const char* baseDirectory);
const char* InstanceIdentifier();
uint32_t Crc32(const void* data, size_t length);
