#include <pthread.h>

#include "update/worker_thread.h"

namespace {

void* Trampoline(void* record) {
  const WorkerThread* thread = static_cast<const WorkerThread*>(record);
  thread->run(thread->argument);
  return nullptr;
}

}  // namespace

bool StartWorkerThread(WorkerThread* thread, void (*run)(void*), void* argument) {
  thread->run = run;
  thread->argument = argument;
  pthread_t id;
  thread->started = pthread_create(&id, nullptr, Trampoline, thread) == 0;
  thread->handle = thread->started ? static_cast<uintptr_t>(id) : 0;
  return thread->started;
}

void JoinWorkerThread(WorkerThread* thread) {
  if (!thread->started) return;
  pthread_join(static_cast<pthread_t>(thread->handle), nullptr);
  thread->started = false;
}

void DetachWorkerThread(WorkerThread* thread) {
  if (!thread->started) return;
  pthread_detach(static_cast<pthread_t>(thread->handle));
  thread->started = false;
}
