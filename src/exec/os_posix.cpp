// POSIX backend of the runtime's OS seam: native tests, tools and benchmarks.
// Nothing here allocates through the program's operator new: the pools may route
// it to AllocMem, and AllocMem itself takes a mutex from this file.
#include "exec/os.h"

#include <pthread.h>
#include <signal.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <time.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <new>
#include <thread>

namespace os {

namespace {

thread_local uint32_t tLastError = 0;

uint64_t MonotonicNs() {
  timespec ts;
  clock_gettime(CLOCK_MONOTONIC, &ts);
  return static_cast<uint64_t>(ts.tv_sec) * 1000000000ull + static_cast<uint64_t>(ts.tv_nsec);
}

}  // namespace

uint64_t TickMs() { return MonotonicNs() / 1000000ull; }

bool PerfCounter(uint64_t* value) {
  *value = MonotonicNs();
  return true;
}

bool PerfFrequency(uint64_t* perSecond) {
  *perSecond = 1000000000ull;
  return true;
}

void SleepMs(uint32_t ms) {
  timespec wanted{static_cast<time_t>(ms / 1000), static_cast<long>(ms % 1000) * 1000000L};
  timespec left;
  while (nanosleep(&wanted, &left) != 0 && errno == EINTR) wanted = left;
}

uint64_t MonotonicUs() { return MonotonicNs() / 1000u; }

void SleepUs(uint32_t us) {
  timespec left{static_cast<time_t>(us / 1000000u), static_cast<long>(us % 1000000u) * 1000L};
  // A signal (the stand-in board's tool uses them) must not cut a pause short.
  while (nanosleep(&left, &left) != 0 && errno == EINTR) {
  }
}

// The scheduler tick is already fine-grained here.
void BeginTimerPeriod() {}
void EndTimerPeriod() {}

// There is no debugger channel; tests stay quiet unless asked.
void DebugOutput(const char* text) {
  if (getenv("TS_DEBUG_OUTPUT") != nullptr) fputs(text, stderr);
}

LocalTime Now() {
  time_t now = time(nullptr);
  tm parts;
  localtime_r(&now, &parts);
  return LocalTime{parts.tm_year + 1900, parts.tm_mon + 1, parts.tm_mday,
                   parts.tm_hour,        parts.tm_min,     parts.tm_sec};
}

// ---- named mutexes
// A recursive lock owned by a thread, with Win32's rules: a release by a thread
// that does not own it fails, and the same name gives the same object. A free
// mutex is taken with one compare-and-swap (the memory manager takes one per
// allocation); the lock and condition are only for waiting.
struct Mutex {
  std::atomic<std::thread::id> owner{std::thread::id()};  // no thread: free
  uint32_t depth = 0;  // read and written by the owner only
  std::atomic<uint32_t> waiters{0};
  std::mutex lock;
  std::condition_variable freed;
  uint32_t refs = 1;
  char* name = nullptr;  // host heap; null for a private mutex
  Mutex* nextNamed = nullptr;
};

namespace {
std::mutex gRegistryLock;
Mutex* gNamed = nullptr;  // every named mutex of the process
}  // namespace

namespace {
int gFailMutexCreations = 0;
}  // namespace

void FailMutexCreationsForTest(int count) { gFailMutexCreations = count; }

Mutex* CreateNamedMutex(const char* name) {
  std::lock_guard<std::mutex> guard(gRegistryLock);
  if (gFailMutexCreations > 0) {
    --gFailMutexCreations;
    tLastError = 1450;  // ERROR_NO_SYSTEM_RESOURCES
    return nullptr;
  }
  if (name != nullptr) {
    for (Mutex* m = gNamed; m != nullptr; m = m->nextNamed) {
      if (strcmp(m->name, name) == 0) {
        ++m->refs;
        return m;
      }
    }
  }
  void* storage = malloc(sizeof(Mutex));
  if (storage == nullptr) {
    tLastError = 8;  // ERROR_NOT_ENOUGH_MEMORY
    return nullptr;
  }
  Mutex* m = new (storage) Mutex();
  if (name != nullptr) {
    size_t length = strlen(name);
    m->name = static_cast<char*>(malloc(length + 1));
    if (m->name == nullptr) {
      m->~Mutex();
      free(storage);
      tLastError = 8;
      return nullptr;
    }
    memcpy(m->name, name, length + 1);
    m->nextNamed = gNamed;
    gNamed = m;
  }
  return m;
}

Wait WaitMutex(Mutex* mutex, uint32_t timeoutMs) {
  if (mutex == nullptr) {
    tLastError = kErrorInvalidHandle;
    return Wait::kFailed;
  }
  const std::thread::id me = std::this_thread::get_id();
  if (mutex->owner.load(std::memory_order_relaxed) == me) {
    ++mutex->depth;
    return Wait::kOwned;
  }
  auto take = [mutex, me] {
    std::thread::id none;
    return mutex->owner.compare_exchange_strong(none, me);
  };
  if (!take()) {
    // Counted as a waiter before trying again under the lock: a release that
    // clears the owner after that try sees the count and wakes us.
    std::unique_lock<std::mutex> guard(mutex->lock);
    mutex->waiters.fetch_add(1);
    bool taken = true;
    if (timeoutMs == kWaitForever) {
      mutex->freed.wait(guard, take);
    } else {
      taken = mutex->freed.wait_for(guard, std::chrono::milliseconds(timeoutMs), take);
    }
    mutex->waiters.fetch_sub(1);
    if (!taken) return Wait::kTimeout;
  }
  mutex->depth = 1;
  return Wait::kOwned;
}

bool ReleaseMutex(Mutex* mutex) {
  if (mutex == nullptr) {
    tLastError = kErrorInvalidHandle;
    return false;
  }
  if (mutex->owner.load(std::memory_order_relaxed) != std::this_thread::get_id()) {
    tLastError = kErrorNotOwner;
    return false;
  }
  if (--mutex->depth == 0) {
    mutex->owner.store(std::thread::id());
    if (mutex->waiters.load() != 0) {
      std::lock_guard<std::mutex> guard(mutex->lock);
      mutex->freed.notify_one();
    }
  }
  return true;
}

bool CloseMutex(Mutex* mutex) {
  if (mutex == nullptr) {
    tLastError = kErrorInvalidHandle;
    return false;
  }
  std::lock_guard<std::mutex> guard(gRegistryLock);
  if (--mutex->refs > 0) return true;
  if (mutex->name != nullptr) {
    for (Mutex** link = &gNamed; *link != nullptr; link = &(*link)->nextNamed) {
      if (*link == mutex) {
        *link = mutex->nextNamed;
        break;
      }
    }
    free(mutex->name);
  }
  mutex->~Mutex();
  free(mutex);
  return true;
}

uint32_t LastError() { return tLastError; }

// ---- debugging

bool DebuggerAttached() {
  FILE* status = fopen("/proc/self/status", "r");
  if (status == nullptr) return false;
  char line[256];
  long tracer = 0;
  while (fgets(line, sizeof line, status) != nullptr) {
    if (strncmp(line, "TracerPid:", 10) == 0) {
      tracer = strtol(line + 10, nullptr, 10);
      break;
    }
  }
  fclose(status);
  return tracer != 0;
}

void BreakIntoDebugger() { raise(SIGTRAP); }

void Beep() {}

bool RetryCancelBox(const char* text, const char* caption) {
  fprintf(stderr, "%s\n%s\n", caption, text);
  return false;
}

// ---- files and heap

namespace {

// The runtime's "\\" separators as "/", in local or in a malloc'd block (freed
// by the caller when it is not local); null when no memory can be had.
char* NativePath(const char* path, char* local, size_t localSize) {
  size_t length = strlen(path);
  char* native = length < localSize ? local : static_cast<char*>(malloc(length + 1));
  if (native == nullptr) return nullptr;
  for (size_t i = 0; i <= length; ++i) native[i] = path[i] == '\\' ? '/' : path[i];
  return native;
}

}  // namespace

FILE* OpenFile(const char* path, const char* mode) {
  char local[1024];
  char* native = NativePath(path, local, sizeof local);
  if (native == nullptr) return nullptr;
  FILE* file = fopen(native, mode);
  if (native != local) free(native);
  return file;
}

bool PathExists(const char* path) {
  char local[1024];
  char* native = NativePath(path, local, sizeof local);
  if (native == nullptr) return false;
  struct stat info;
  const bool there = stat(native, &info) == 0;
  if (native != local) free(native);
  return there;
}

void* HostAlloc(size_t size) { return malloc(size); }
void HostFree(void* block) { free(block); }

// ---- thread description

// Process priority classes do not exist here, and raising a thread's priority
// needs privileges a test run does not have.
void SetNormalProcessPriority() {}
void RaiseCurrentThreadPriority() {}

void* DuplicateCurrentThreadHandle() {
  return reinterpret_cast<void*>(static_cast<uintptr_t>(pthread_self()));
}
void CloseThreadHandle(void*) {}

struct CriticalSection {
  pthread_mutex_t mutex;
};

size_t CriticalSectionSize() { return sizeof(CriticalSection); }

CriticalSection* NewCriticalSection(void* storage, size_t storageSize) {
  if (storage == nullptr || storageSize < sizeof(CriticalSection)) return nullptr;
  CriticalSection* cs = static_cast<CriticalSection*>(storage);
  pthread_mutexattr_t attributes;
  pthread_mutexattr_init(&attributes);
  pthread_mutexattr_settype(&attributes, PTHREAD_MUTEX_RECURSIVE);
  int rc = pthread_mutex_init(&cs->mutex, &attributes);
  pthread_mutexattr_destroy(&attributes);
  return rc == 0 ? cs : nullptr;
}

void DeleteCriticalSection(CriticalSection* cs) {
  if (cs != nullptr) pthread_mutex_destroy(&cs->mutex);
}

}  // namespace os
