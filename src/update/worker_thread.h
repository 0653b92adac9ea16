#pragma once
// One worker thread, started without the runtime's memory (a thread that
// must never enter the runtime cannot have its bookkeeping there): the
// HTTP client's receive thread and its host look-up.
// worker_thread_win32.cpp (CreateThread) and worker_thread_posix.cpp (pthreads).
#include <cstdint>

struct WorkerThread {
  void (*run)(void* argument) = nullptr;
  void* argument = nullptr;
  uintptr_t handle = 0;
  bool started = false;
};

// Starts run(argument) on a new thread. The record must stay where it is
// until the thread is joined or detached. False when no thread could be made.
bool StartWorkerThread(WorkerThread* thread, void (*run)(void*), void* argument);
// Waits until the thread has ended, then releases it.
void JoinWorkerThread(WorkerThread* thread);
// Releases the thread without waiting; it ends on its own.
void DetachWorkerThread(WorkerThread* thread);
