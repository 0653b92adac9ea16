#include "app/startup_config.h"

#include <cstdlib>
#include <cstring>

#include "exec/execlib.h"
#include "exec/file.h"
#include "exec/memory.h"

void MakeDirectoryText(const char* workingDirectory, char* out, size_t outSize) {
  if (out == nullptr || outSize == 0) return;
  out[0] = 0;
  if (workingDirectory == nullptr || workingDirectory[0] == 0) return;
  const size_t length = strlen(workingDirectory);
  if (length + 1 > outSize) return;
  memcpy(out, workingDirectory, length + 1);
  if (!AppendSeparator(out, outSize)) out[0] = 0;
}

int32_t LogLevelFromText(const char* text) {
  // One digit and nothing else; anything else is the product's quiet log.
  if (text == nullptr || text[0] < '0' || text[0] > '3' || text[1] != '\0') return 0;
  return text[0] - '0';
}

void FillAppExecConfig(ExecConfig* config, const char* workingDirectory, void* instance) {
  memset(config, 0, sizeof(*config));
  config->mainPoolSize = 0x2000000;
  config->debugPoolSize = 0x100;
  config->logLevel = LogLevelFromText(std::getenv(kLogLevelVariable));
  config->memoryOptions = kMemThreadSafe;
  config->language = 0;
  config->logMode = 2;
  config->hostHeap = 0;
  MakeDirectoryText(workingDirectory, config->logDirectory, sizeof(config->logDirectory));
  memcpy(config->baseDirectory, config->logDirectory, sizeof(config->baseDirectory));
  config->applicationName[0] = 0;
  config->instance = instance;
}
