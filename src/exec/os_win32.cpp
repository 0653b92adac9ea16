// Win32 backend of the runtime's OS seam (the product).
#include "exec/os.h"

#include <windows.h>
#include <mmsystem.h>

#include <cstdio>

#include "exec/wide_path_win32.h"

namespace os {

uint64_t TickMs() { return GetTickCount64(); }

bool PerfCounter(uint64_t* value) {
  LARGE_INTEGER counter;
  if (!QueryPerformanceCounter(&counter)) return false;
  *value = static_cast<uint64_t>(counter.QuadPart);
  return true;
}

bool PerfFrequency(uint64_t* perSecond) {
  LARGE_INTEGER frequency;
  if (!QueryPerformanceFrequency(&frequency)) {
    *perSecond = 0;
    return false;
  }
  *perSecond = static_cast<uint64_t>(frequency.QuadPart);
  return true;
}

void SleepMs(uint32_t ms) { ::Sleep(ms); }

uint64_t MonotonicUs() {
  static const uint64_t frequency = [] {
    uint64_t f = 0;
    return PerfFrequency(&f) ? f : 0;
  }();
  uint64_t counter = 0;
  if (frequency == 0 || !PerfCounter(&counter)) return GetTickCount64() * 1000u;
  // Split so that the product cannot overflow after weeks of uptime.
  return (counter / frequency) * 1000000u + (counter % frequency) * 1000000u / frequency;
}

void SleepUs(uint32_t us) {
  // With the 1 ms timer period that the runtime sets up, Sleep(1) is about a
  // millisecond.
  DWORD ms = (us + 999u) / 1000u;
  ::Sleep(ms == 0 ? 1 : ms);
}

void BeginTimerPeriod() { timeBeginPeriod(1); }
void EndTimerPeriod() { timeEndPeriod(1); }

void DebugOutput(const char* text) { OutputDebugStringA(text); }

LocalTime Now() {
  SYSTEMTIME st;
  GetLocalTime(&st);
  return LocalTime{st.wYear, st.wMonth, st.wDay, st.wHour, st.wMinute, st.wSecond};
}

// The Mutex type is never defined on this side: a Mutex* is the HANDLE itself.
Mutex* CreateNamedMutex(const char* name) {
  return reinterpret_cast<Mutex*>(CreateMutexA(nullptr, FALSE, name));
}

Wait WaitMutex(Mutex* mutex, uint32_t timeoutMs) {
  switch (WaitForSingleObject(reinterpret_cast<HANDLE>(mutex), timeoutMs)) {
    case WAIT_OBJECT_0:
    // The previous owner ended without releasing it; the mutex is ours now.
    case WAIT_ABANDONED:
      return Wait::kOwned;
    case WAIT_TIMEOUT:
      return Wait::kTimeout;
    default:
      return Wait::kFailed;
  }
}

bool ReleaseMutex(Mutex* mutex) { return ::ReleaseMutex(reinterpret_cast<HANDLE>(mutex)) != 0; }

bool CloseMutex(Mutex* mutex) {
  if (mutex == nullptr) {
    SetLastError(ERROR_INVALID_HANDLE);
    return false;
  }
  return CloseHandle(reinterpret_cast<HANDLE>(mutex)) != 0;
}

uint32_t LastError() { return GetLastError(); }

bool DebuggerAttached() { return IsDebuggerPresent() != 0; }
void BreakIntoDebugger() { DebugBreak(); }
void Beep() { MessageBeep(MB_OK); }

bool RetryCancelBox(const char* text, const char* caption) {
  return MessageBoxA(nullptr, text, caption, MB_RETRYCANCEL | MB_ICONSTOP) == IDRETRY;
}

FILE* OpenFile(const char* path, const char* mode) {
  const std::wstring wide = WidePath(path);
  if (wide.empty() || mode == nullptr) return nullptr;
  wchar_t wideMode[8] = {};
  for (size_t i = 0; i + 1 < sizeof wideMode / sizeof wideMode[0] && mode[i] != '\0'; ++i) wideMode[i] = mode[i];
  return _wfopen(wide.c_str(), wideMode);
}

bool PathExists(const char* path) {
  const std::wstring wide = WidePath(path);
  return !wide.empty() && GetFileAttributesW(wide.c_str()) != INVALID_FILE_ATTRIBUTES;
}

// The process heap hands out 16-byte aligned blocks on x64, as the pools need.
void* HostAlloc(size_t size) { return HeapAlloc(GetProcessHeap(), 0, size); }
void HostFree(void* block) {
  if (block != nullptr) HeapFree(GetProcessHeap(), 0, block);
}

void SetNormalProcessPriority() { SetPriorityClass(GetCurrentProcess(), NORMAL_PRIORITY_CLASS); }

// GetCurrentThread is a pseudo handle that means "the caller" wherever it is
// used; the task record needs a real handle to this thread.
void* DuplicateCurrentThreadHandle() {
  HANDLE thread = nullptr;
  if (!DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &thread, 0,
                       TRUE, DUPLICATE_SAME_ACCESS)) {
    return nullptr;
  }
  return thread;
}

void CloseThreadHandle(void* handle) {
  if (handle != nullptr) CloseHandle(static_cast<HANDLE>(handle));
}

void RaiseCurrentThreadPriority() {
  SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
}

struct CriticalSection {
  CRITICAL_SECTION section;
};

size_t CriticalSectionSize() { return sizeof(CriticalSection); }

CriticalSection* NewCriticalSection(void* storage, size_t storageSize) {
  if (storage == nullptr || storageSize < sizeof(CriticalSection)) return nullptr;
  CriticalSection* cs = static_cast<CriticalSection*>(storage);
  InitializeCriticalSection(&cs->section);
  return cs;
}

void DeleteCriticalSection(CriticalSection* cs) {
  if (cs != nullptr) ::DeleteCriticalSection(&cs->section);
}

}  // namespace os
