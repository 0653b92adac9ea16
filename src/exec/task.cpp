// Named semaphores and the task registry. The program runs on its own threads;
// the registry only describes the thread that started the runtime ("System Base").
#include "exec/task.h"

#include <cstdio>
#include <cstring>

#include "exec/list.h"
#include "exec/log.h"
#include "exec/memory.h"
#include "exec/os.h"

namespace {

constexpr uint32_t kObtainTimeoutMs = 20000;
constexpr size_t kSystemNameSize = 256;
const char kSemaphoreModule[] = "exec\\Task_PC";

char gInstanceId[16] = "";

// "Semaphore" exists from the first semaphore on: the memory manager makes its
// own before the runtime's start-up has finished, and tools use semaphores
// without starting the runtime at all.
ExecList gSemaphores;
bool gSemaphoresReady = false;

ExecList gTaskWait;
ExecList gTaskReady;
ExecList gBackgroundTask;
ExecTask gSystemBase;
ExecTask* gCurrentTask = nullptr;
ExecSemaphore gTasksSemaphore;
ExecSemaphore gDisplaySemaphore;
bool gTasksStarted = false;

const char* SemaphoreName(const ExecSemaphore* semaphore) {
  return semaphore->node.name != nullptr ? semaphore->node.name : "(null)";
}

// Background tasks are never made in this program; a stray one is simply
// taken out and released.
void ReleaseBackgroundTask(ExecNode* node) { FreeNode(node); }

void EnterInAnchor(ExecList* list, const char* name, ElementRelease release) {
  InitList(list, name, release, kNodeTask);
  AddTail(&AnchorList()->list, &list->node);
}

void TakeOutOfAnchor(ExecList* list) {
  if (list->node.next != nullptr && list->node.prev != nullptr) RemoveNode(&list->node);
  list->node.next = nullptr;
  list->node.prev = nullptr;
}

}  // namespace

// ---- instance identifier

uint32_t Crc32(const void* data, size_t length) {
  static uint32_t table[256];
  static bool tableReady = false;
  if (!tableReady) {
    for (uint32_t i = 0; i < 256; ++i) {
      uint32_t c = i;
      for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      table[i] = c;
    }
    tableReady = true;
  }
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  uint32_t crc = 0xFFFFFFFFu;
  for (size_t i = 0; i < length; ++i) crc = table[(crc ^ bytes[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

void SetInstanceIdentifier(const char* baseDirectory) {
  if (baseDirectory == nullptr) {
    gInstanceId[0] = '\0';
    return;
  }
  snprintf(gInstanceId, sizeof gInstanceId, "%x",
           static_cast<unsigned>(Crc32(baseDirectory, strlen(baseDirectory))));
}

const char* InstanceIdentifier() { return gInstanceId; }

// ---- semaphores

ExecList* SemaphoreList() {
  if (!gSemaphoresReady) {
    InitList(&gSemaphores, "Semaphore", nullptr, kNodeSemaphore);
    gSemaphoresReady = true;
  }
  return &gSemaphores;
}

void CreateSemaphore(ExecSemaphore* semaphore, const char* name) {
  semaphore->node.type = kNodeSemaphore;
  semaphore->node.name = name;
  semaphore->handle = nullptr;
  semaphore->reserved0 = 0;
  semaphore->reserved1 = 0;
  AddTail(&SemaphoreList()->list, &semaphore->node);
  InitListHeader(&semaphore->waiters);

  if (name != nullptr) {
    char systemName[kSystemNameSize];
    snprintf(systemName, sizeof systemName, "%s%s", gInstanceId, name);
    semaphore->handle = os::CreateNamedMutex(systemName);
  } else {
    semaphore->handle = os::CreateNamedMutex(nullptr);
  }
  if (semaphore->handle == nullptr) EXEC_ASSERT(kSemaphoreModule, "Could not create semaphore");
}

void DeleteSemaphore(ExecSemaphore* semaphore) {
  // A second delete would unlink the node from a list it is no longer in.
  if (semaphore->node.type == kNodeRemoved) {
    EXEC_ASSERT(kSemaphoreModule, "Release semaphore failed");
    return;
  }
  if (!os::CloseMutex(semaphore->handle)) EXEC_ASSERT(kSemaphoreModule, "Release semaphore failed");
  semaphore->handle = nullptr;
  semaphore->node.type = kNodeRemoved;
  RemoveNode(&semaphore->node);
}

ObtainResult ObtainSemaphore(ExecSemaphore* semaphore) {
  switch (os::WaitMutex(semaphore->handle, kObtainTimeoutMs)) {
    case os::Wait::kOwned:
      return ObtainResult::kOwned;
    case os::Wait::kTimeout:
      LogPrintf(1, "ObtainSemaphore: Timeout %s", SemaphoreName(semaphore));
      os::Beep();
      return ObtainResult::kTimeout;
    case os::Wait::kFailed:
    default: {
      // Read before the box: showing it can change the thread's last error.
      unsigned error = os::LastError();
      EXEC_ASSERT(kSemaphoreModule, TempFormat("ObtainSemaphore: Error code %d", error));
      return ObtainResult::kFailed;
    }
  }
}

void ReleaseSemaphore(ExecSemaphore* semaphore) {
  if (os::ReleaseMutex(semaphore->handle)) return;
  unsigned error = os::LastError();
  EXEC_ASSERT(kSemaphoreModule, TempFormat("ReleaseSemaphore error %d", error));
}

// ---- tasks

bool StartTaskSystem() {
  if (gTasksStarted) return true;
  EnterInAnchor(&gTaskWait, "TaskWait", nullptr);
  EnterInAnchor(&gTaskReady, "TaskReady", nullptr);
  EnterInAnchor(&gBackgroundTask, "BackgroundTask", ReleaseBackgroundTask);

  memset(&gSystemBase, 0, sizeof gSystemBase);
  os::SetNormalProcessPriority();
  gSystemBase.thread = os::DuplicateCurrentThreadHandle();
  os::RaiseCurrentThreadPriority();
  gSystemBase.node.name = "System Base";
  gSystemBase.node.type = kNodeTask;
  gSystemBase.node.priority = 128;
  gSystemBase.state = kTaskRunning;
  size_t csSize = os::CriticalSectionSize();
  void* storage = AllocMem(kMainPoolId, csSize);
  if (storage != nullptr) {
    ClearMem(storage, csSize);
    gSystemBase.critical = os::NewCriticalSection(storage, csSize);
    if (gSystemBase.critical == nullptr) FreeMem(storage);
  }
  gCurrentTask = &gSystemBase;

  CreateSemaphore(&gTasksSemaphore, "Tasks");
  CreateSemaphore(&gDisplaySemaphore, "Display");
  gTasksStarted = true;
  return true;
}

void RemoveTaskSystem() {
  if (!gTasksStarted) return;
  gSystemBase.state = kTaskRemoved;
  if (gSystemBase.critical != nullptr) {
    os::DeleteCriticalSection(gSystemBase.critical);
    FreeMem(gSystemBase.critical);
    gSystemBase.critical = nullptr;
  }
  os::CloseThreadHandle(gSystemBase.thread);
  gSystemBase.thread = nullptr;

  while (ExecNode* node = FirstNode(&gBackgroundTask.list)) gBackgroundTask.release(node);

  DeleteSemaphore(&gDisplaySemaphore);
  DeleteSemaphore(&gTasksSemaphore);
  TakeOutOfAnchor(&gBackgroundTask);
  TakeOutOfAnchor(&gTaskReady);
  TakeOutOfAnchor(&gTaskWait);
  gCurrentTask = nullptr;
  gTasksStarted = false;
}

ExecTask* CurrentTask() { return gCurrentTask; }
