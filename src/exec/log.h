#pragma once
// Levelled log (debugger output and Log.txt) and the assert box.
#include <cstdarg>
#include <cstdint>

struct ExecConfig;

// Returns the formatted length, minus the length written (-511) when the text
// had to be cut to 511 characters, or 0 when the message was filtered out.
int LogPrintf(int level, const char* format, ...) __attribute__((format(printf, 2, 3)));
int LogPrintfV(int level, const char* format, va_list args);
// Formats into the shared 64 KiB buffer; valid until the next call.
char* TempFormat(const char* format, ...) __attribute__((format(printf, 1, 2)));
void LogWriteLine(const char* text);
void InitLog(const ExecConfig* config);

// Log state (set by InitExec; _InitAlloc switches logging on by itself on failure).
void SetLogSwitch(int on);
void SetLogThreshold(int level);
int LogThreshold();
int LogSwitch();
// Where Log.txt goes: the text is used as a prefix, so it ends with a separator;
// empty means the current directory. A directory that does not fit the 255
// characters of the log path turns file output off (the debugger output stays).
void SetLogDirectory(const char* directory);
// The shared formatting buffer lives in the main pool; InitExec/Exec remove own it.
bool AllocTempBuffer();
void FreeTempBuffer();

// The box text into out[kAssertTextSize] (cut when longer); returns its length.
constexpr int kAssertTextSize = 1024;
int FormatAssertText(char* out, const char* file, int line, const char* condition,
                     const char* message);
// Shows the box; true when the user chose Retry and a debugger is attached to
// break into (without one, the break would end the program: Retry is Cancel then).
bool AssertBox(const char* file, int line, const char* condition, const char* message);
// Every use reports an already detected failure: the condition shown is "FALSE".
// Retry breaks into a debugger only when one is attached, otherwise it is Cancel.
void ExecAssertFailed(const char* file, int line, const char* message);
// module is the name the box shows ("Exec\\Memory"); where a line number is
// documented for a message, EXEC_ASSERT_AT keeps it stable across edits.
#define EXEC_ASSERT(module, message) ExecAssertFailed((module), __LINE__, (message))
#define EXEC_ASSERT_AT(module, line, message) ExecAssertFailed((module), (line), (message))
// Tests count asserts instead of showing boxes.
using AssertHook = bool (*)(const char* file, int line, const char* message);
void SetAssertHook(AssertHook hook);  // null restores the box
// Tests decide whether a debugger counts as attached; null asks the system.
using DebuggerProbe = bool (*)();
void SetDebuggerProbe(DebuggerProbe probe);
