// Runtime start-up and shutdown: one fixed order up, the reverse order down,
// closing with the memory leak report.
#include "exec/execlib.h"

#include <cstdio>
#include <cstring>

#include "exec/list.h"
#include "exec/log.h"
#include "exec/memory.h"
#include "exec/os.h"
#include "exec/resource.h"
#include "exec/task.h"
#include "exec/text.h"

namespace {

const char kModule[] = "Exec\\ExecLib";
constexpr uint32_t kMemoryRetryFloor = 0x2000000;

bool gStarted = false;
void* gInstance = nullptr;
char* gApplicationName = nullptr;
char* gPathBuffer = nullptr;
char gFallbackPathBuffer[kSharedPathBufferSize];
ExecSemaphore gEngineSemaphore;
const ExecLayer* gLayer = nullptr;

ExecList gUserTime;
ExecList gUserData;
ExecList gLanguages;

void SetUpStandardLists() {
  InitAnchorList();
  SemaphoreList();
  InitList(&gUserTime, "UserTime", nullptr, 0);
  InitList(&gUserData, "UserData", nullptr, 0);
  InitList(&gLanguages, "Languages", nullptr, 0);
  AddTail(&AnchorList()->list, &gUserTime.node);
  AddTail(&AnchorList()->list, &gUserData.node);
  AddTail(&AnchorList()->list, &gLanguages.node);
}

void TakeDownStandardList(ExecList* list) {
  EmptyList(list, true);
  if (list->node.next != nullptr && list->node.prev != nullptr) RemoveNode(&list->node);
  list->node.next = nullptr;
  list->node.prev = nullptr;
}

// Halves the main pool until the host gives it; gives up once a size below
// 32 MiB has failed as well (so 32 MiB is tried, then 16 MiB).
bool CreateMemorySystem(const ExecConfig* config) {
  uint32_t size = config->mainPoolSize;
  bool hostHeap = config->hostHeap != 0;
  if (_InitAlloc(size, config->debugPoolSize, hostHeap)) return true;
  size /= 2;
  while (!_InitAlloc(size, config->debugPoolSize, hostHeap)) {
    if (size < kMemoryRetryFloor) {
      EXEC_ASSERT_AT(kModule, 302, "InitExec: Fatal error. Cannot initialise memory system.");
      return false;
    }
    size /= 2;
  }
  return true;
}

bool StoreApplicationName(const char* name, size_t size) {
  size_t length = strnlen(name, size);
  gApplicationName = static_cast<char*>(AllocMem(kMainPoolId, length + 1));
  if (gApplicationName == nullptr) return false;
  memcpy(gApplicationName, name, length);
  gApplicationName[length] = '\0';
  return true;
}

// ---- shutdown report

void LogRemoveTime() {
  os::LocalTime now = os::Now();
  char date[16];
  char time[16];
  snprintf(date, sizeof date, "%02d/%02d/%02d", now.month % 100, now.day % 100, now.year % 100);
  snprintf(time, sizeof time, "%02d:%02d:%02d", now.hour % 100, now.minute % 100,
           now.second % 100);
  LogPrintf(1, "Exec Remove %s at %s\n", date, time);
}

// The pool record and the application name are still held on purpose; every
// other block must have come back. The figure is what the leaked blocks hold
// (with guard words, each with its guard gap) less 4. It cannot come from the
// totals alone with guard words: a free hole left between live blocks costs a
// gap of its own, which no allocation holds.
void ReportLeaks() {
  if (TotalPoolMem() == 0) return;
  int64_t leaked = static_cast<int64_t>(HeldPoolMem()) -
                   static_cast<int64_t>(gApplicationName != nullptr ? GetMemHeld(gApplicationName) : 0);
  if (leaked > 0) {
    LogPrintf(1, "Memory still allocated on release %d bytes", static_cast<int>(leaked - 4));
  } else {
    LogPrintf(2, "No memory leaks, no problem\n");
  }
}

}  // namespace

void CopyConfigText(const char* field, size_t fieldSize, char* out) {
  const size_t length = strnlen(field, fieldSize);
  memcpy(out, field, length);
  out[length] = '\0';
}

bool InitExec(const ExecConfig* config) {
  if (config == nullptr || gStarted) {
    LogPrintf(0, "InitExec: %s\n", config == nullptr ? "No configuration" : "Already started");
    return false;
  }
  gInstance = config->instance;
  // The ready bit is the allocator's own state, never an input.
  gMemOptions = config->memoryOptions & ~(kMemCaptureContext | kMemReady);
  char base[sizeof(ExecConfig::baseDirectory) + 1];
  CopyConfigText(config->baseDirectory, sizeof config->baseDirectory, base);
  SetInstanceIdentifier(base);

  SetUpStandardLists();
  if (!CreateMemorySystem(config)) return false;

  SetLogSwitch(config->logMode != 0);
  InitLog(config);
  SetLogThreshold(config->logLevel);

  StoreApplicationName(config->applicationName, sizeof config->applicationName);
  StartTaskSystem();
  AllocTempBuffer();
  gPathBuffer = static_cast<char*>(AllocMem(kMainPoolId, kSharedPathBufferSize));
  if (gPathBuffer != nullptr) gPathBuffer[0] = '\0';

  StartResourceSystem(base);
  if (gLayer != nullptr && gLayer->start != nullptr) gLayer->start(config);

  StartClock();
  CreateSemaphore(&gEngineSemaphore, nullptr);

  char mainText[kMemSizeTextMax];
  char debugText[kMemSizeTextMax];
  FormatMemSize(config->mainPoolSize, mainText, sizeof mainText);
  FormatMemSize(config->debugPoolSize, debugText, sizeof debugText);
  LogPrintf(3, "InitExec: Allocated %s main ram, %s debug ram.", mainText, debugText);
  gStarted = true;
  return true;
}

void ExecRemove() {
  if (!gStarted) return;
  RemoveClock();
  LogRemoveTime();

  LogPrintf(3, "Removing: Resource systems\n");
  RemoveResourceSystem();

  LogPrintf(3, "Removing: Tasks");
  RemoveTaskSystem();

  TakeDownStandardList(&gUserTime);
  TakeDownStandardList(&gUserData);
  TakeDownStandardList(&gLanguages);
  if (gLayer != nullptr && gLayer->stop != nullptr) gLayer->stop();
  DeleteSemaphore(&gEngineSemaphore);

  LogPrintf(3, "Removing: Log and Memory");
  FreeTempBuffer();
  if (gPathBuffer != nullptr) FreeMem(gPathBuffer);
  gPathBuffer = nullptr;

  ReportLeaks();
  if (gApplicationName != nullptr) FreeMem(gApplicationName);
  gApplicationName = nullptr;
  RemoveAlloc();
  LogPrintf(3, "Exec system removed");
  gInstance = nullptr;
  gStarted = false;
}

void SetExecLayer(const ExecLayer* layer) { gLayer = layer; }

bool ExecStarted() { return gStarted; }
const char* ApplicationName() { return gApplicationName != nullptr ? gApplicationName : ""; }
void* ExecInstance() { return gInstance; }
char* SharedPathBuffer() { return gPathBuffer != nullptr ? gPathBuffer : gFallbackPathBuffer; }

ExecList* UserTimeList() { return &gUserTime; }
ExecList* UserDataList() { return &gUserData; }
ExecList* LanguagesList() { return &gLanguages; }
