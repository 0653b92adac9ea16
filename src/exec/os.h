#pragma once
// The operating-system services the runtime needs, behind one small seam.
// os_win32.cpp is the product's backend, os_posix.cpp serves native tests and tools.
// Portable code includes this header, never windows.h or unistd.h.
#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace os {

// Monotonic milliseconds (GetTickCount64 / CLOCK_MONOTONIC).
uint64_t TickMs();
// High-resolution counter; false when the platform has none.
bool PerfCounter(uint64_t* value);
bool PerfFrequency(uint64_t* perSecond);
void SleepMs(uint32_t ms);
// Monotonic microseconds (the performance counter / CLOCK_MONOTONIC), for the
// bounded waits of the device links.
uint64_t MonotonicUs();
// Sleeps about us microseconds; a signal does not cut it short. Windows sleeps
// whole milliseconds, at least 1 (never Sleep(0), which would let a polling
// loop spin a core).
void SleepUs(uint32_t us);
// Ask for 1 ms scheduler/timer resolution (timeBeginPeriod); End undoes it.
void BeginTimerPeriod();
void EndTimerPeriod();

void DebugOutput(const char* text);

struct LocalTime {
  int year, month /*1..12*/, day, hour, minute, second;
};
LocalTime Now();

// Named, per-thread recursive lock (a Win32 mutex). Same name in one process
// (and, on Windows, across processes) means the same object. name may be null.
struct Mutex;
Mutex* CreateNamedMutex(const char* name);
// Native tests only (the POSIX backend): the next count creations fail as
// when the system has no handle left.
void FailMutexCreationsForTest(int count);
enum class Wait { kOwned, kTimeout, kFailed };
constexpr uint32_t kWaitForever = 0xFFFFFFFF;
// kTimeout means the wait ended without ownership; kFailed sets LastError()
// (a null mutex gives kErrorInvalidHandle, as Win32 does).
Wait WaitMutex(Mutex* mutex, uint32_t timeoutMs);
// Fails with kErrorNotOwner when the calling thread does not hold the mutex.
bool ReleaseMutex(Mutex* mutex);
bool CloseMutex(Mutex* mutex);
// The calling thread's last error, in Win32 numbering on both backends.
uint32_t LastError();
constexpr uint32_t kErrorInvalidHandle = 6;
constexpr uint32_t kErrorNotOwner = 288;

bool DebuggerAttached();
void BreakIntoDebugger();
void Beep();

// Modal Retry/Cancel box with the stop icon, no owner. Returns true for Retry.
// The native backend prints the text to stderr and answers Cancel, so tests never block.
bool RetryCancelBox(const char* text, const char* caption);

// fopen for the runtime's own paths, which use "\\" as separator; the POSIX
// backend turns every "\\" into "/" so the same path texts work natively.
FILE* OpenFile(const char* path, const char* mode);
// True when something is at path, whether or not it can be opened (a file
// another program holds, a folder).
bool PathExists(const char* path);

// The host heap behind the pools.
void* HostAlloc(size_t size);
void HostFree(void* block);

// Thread description for the task record ("System Base").
void SetNormalProcessPriority();
void* DuplicateCurrentThreadHandle();
void CloseThreadHandle(void* handle);
void RaiseCurrentThreadPriority();
struct CriticalSection;
CriticalSection* NewCriticalSection(void* storage, size_t storageSize);  // placement into storage
void DeleteCriticalSection(CriticalSection* cs);
size_t CriticalSectionSize();

}  // namespace os
