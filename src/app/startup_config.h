#pragma once
// The runtime start-up record the application hands to InitExec.
#include <cstddef>
#include <cstdint>

struct ExecConfig;

// Directory text for the runtime: the working directory with a trailing "\"
// (the log appends "Log.txt" without a separator). Leaves out empty when the
// directory plus separator does not fit, so the runtime falls back to
// relative paths instead of writing beside a cut-off folder name.
void MakeDirectoryText(const char* workingDirectory, char* out, size_t outSize);

// Makers and the tests may want more of the log than the user's errors: the
// environment variable TILLERSET_LOG_LEVEL ("0" .. "3") raises the log
// threshold (2 adds the runtime's summaries, the leak report at exit among
// them; 3 its progress). Anything else leaves it at 0.
constexpr char kLogLevelVariable[] = "TILLERSET_LOG_LEVEL";
int32_t LogLevelFromText(const char* text);

// Zero-fills config and sets the application's values: 32 MiB main pool,
// 256-byte debug pool, log threshold 0 (or TILLERSET_LOG_LEVEL), thread-safe
// memory, language 0, a fresh Log.txt, both directories from the working
// directory, empty application name.
void FillAppExecConfig(ExecConfig* config, const char* workingDirectory, void* instance);
