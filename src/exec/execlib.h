#pragma once
// Runtime start-up and shutdown.
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

bool InitExec(const ExecConfig* config);
void ExecRemove();
bool ExecStarted();
const char* ApplicationName();
void* ExecInstance();
// The shared 64 KiB path buffer (InitExec allocates it).
char* SharedPathBuffer();
