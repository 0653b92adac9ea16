#pragma once
// What the fuzz targets that need the runtime share: it is started once per
// process, without a log file, and an assert box (a fault the runtime caught)
// becomes a crash the fuzzer reports, unless the target takes asserts as
// results.
#include <cstdint>
#include <cstring>

#include "exec/execlib.h"
#include "exec/log.h"
#include "script/script_layer.h"

inline bool TrapOnAssert(const char*, int, const char*) { __builtin_trap(); }

// True once the runtime runs with a main pool of poolSize bytes; later calls
// only say whether the first start succeeded.
inline bool StartRuntimeOnce(uint32_t poolSize, bool trapAsserts = true) {
  static const bool started = [poolSize, trapAsserts] {
    ExecConfig config;
    memset(&config, 0, sizeof config);
    config.mainPoolSize = poolSize;
    config.logMode = 0;  // silent: the readers' failures are results, not log lines
    strcpy(config.baseDirectory, "/tmp/");
    if (trapAsserts) SetAssertHook(TrapOnAssert);
    InstallScriptLayer();
    return InitExec(&config);
  }();
  return started;
}
