#include <windows.h>

#include "update/worker_thread.h"

namespace {

DWORD WINAPI Trampoline(LPVOID record) {
  const WorkerThread* thread = static_cast<const WorkerThread*>(record);
  thread->run(thread->argument);
  return 0;
}

}  // namespace

bool StartWorkerThread(WorkerThread* thread, void (*run)(void*), void* argument) {
  thread->run = run;
  thread->argument = argument;
  DWORD id = 0;
  HANDLE handle = CreateThread(nullptr, 0, Trampoline, thread, 0, &id);
  thread->started = handle != nullptr;
  thread->handle = reinterpret_cast<uintptr_t>(handle);
  return thread->started;
}

void JoinWorkerThread(WorkerThread* thread) {
  if (!thread->started) return;
  HANDLE handle = reinterpret_cast<HANDLE>(thread->handle);
  WaitForSingleObject(handle, INFINITE);
  CloseHandle(handle);
  thread->started = false;
}

void DetachWorkerThread(WorkerThread* thread) {
  if (!thread->started) return;
  CloseHandle(reinterpret_cast<HANDLE>(thread->handle));
  thread->started = false;
}
