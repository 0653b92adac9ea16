#pragma once
// Runtime start-up and shutdown.
#include <cstddef>
#include <cstdint>

struct ExecConfig {
  uint32_t mainPoolSize;
  uint32_t debugPoolSize;
  int32_t logLevel;
  uint32_t memoryOptions;
  uint16_t language;
  uint16_t logMode;   // 0 off, 2 fresh file, other values append
  uint16_t hostHeap;  // 1 = bypass the pools
  uint8_t reserved;
  char logDirectory[512];
  char baseDirectory[512];
  char applicationName[512];
  void* instance;
};

struct ExecList;

// A text field of ExecConfig, which need not be terminated, copied as a
// terminated text into out (fieldSize + 1 bytes).
void CopyConfigText(const char* field, size_t fieldSize, char* out);

// The layer built on the runtime that starts and stops with it: the Script
// documents and the languages (script/script_layer.h). InitExec starts it once
// the resource system is up, before the clock; Exec remove stops it after the
// resources and the language list are gone. Set before InitExec; null for a
// runtime without documents (tests of the runtime alone).
struct ExecLayer {
  void (*start)(const ExecConfig* config);
  void (*stop)();
};
void SetExecLayer(const ExecLayer* layer);

// False when the memory system cannot be made (after the assert box); nothing
// else has been started then. A second call while started also returns false.
bool InitExec(const ExecConfig* config);
// Takes everything down in reverse order and writes the leak report; does
// nothing when the runtime is not started.
void ExecRemove();
bool ExecStarted();
const char* ApplicationName();  // "" when none is stored
void* ExecInstance();
// The shared 64 KiB path buffer (InitExec allocates it; a static one stands in
// before and after, so early callers do not crash).
char* SharedPathBuffer();
constexpr size_t kSharedPathBufferSize = 65536;

// Standard lists set up by InitExec and emptied by Exec remove (nodes are freed
// there; a list's release operation frees what an element owns).
ExecList* UserTimeList();
ExecList* UserDataList();
ExecList* LanguagesList();
