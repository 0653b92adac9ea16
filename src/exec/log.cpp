// The levelled log and the assert box. The log file is opened, appended to and
// closed for every line, so Log.txt is complete whatever happens to the program.
#include "exec/log.h"

#include <cstdio>
#include <cstring>

#include "exec/execlib.h"
#include "exec/memory.h"
#include "exec/os.h"

namespace {

constexpr size_t kLineSize = 512;
constexpr size_t kPathSize = 256;
constexpr size_t kTempSize = 65536;
const char kLogName[] = "Log.txt";
const char kBanner[] = "------------- Vexel Message ------------- ";

int gLogSwitch = 0;
int gLogThreshold = 0;
char gLogDirectory[kPathSize] = "";
bool gLogDirectoryUsable = true;

// Messages raised while the pools are being made (or after they are gone) still
// need a formatting buffer.
char gFallbackTemp[kTempSize];
char* gTempBuffer = nullptr;

AssertHook gAssertHook = nullptr;
DebuggerProbe gDebuggerProbe = nullptr;

const char* const kMonths[12] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                 "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};

// False when the directory would not leave room for the file name: a cut path
// would name some other file.
bool BuildLogPath(char* path) {
  if (!gLogDirectoryUsable) return false;
  int length = snprintf(path, kPathSize, "%s%s", gLogDirectory, kLogName);
  return length > 0 && static_cast<size_t>(length) < kPathSize;
}

}  // namespace

void SetLogSwitch(int on) { gLogSwitch = on; }
int LogSwitch() { return gLogSwitch; }
void SetLogThreshold(int level) { gLogThreshold = level; }
int LogThreshold() { return gLogThreshold; }

void SetLogDirectory(const char* directory) {
  size_t length = directory != nullptr ? strlen(directory) : 0;
  gLogDirectoryUsable = length + sizeof kLogName <= kPathSize;
  if (!gLogDirectoryUsable) length = 0;
  if (length > 0) memcpy(gLogDirectory, directory, length);
  gLogDirectory[length] = '\0';
}

void LogWriteLine(const char* text) {
  os::DebugOutput(kBanner);
  os::DebugOutput(text);
  os::DebugOutput("\n");
  char path[kPathSize];
  if (!BuildLogPath(path)) return;
  FILE* file = os::OpenFile(path, "a+");
  if (file == nullptr) return;
  fprintf(file, "%s\n", text);
  fclose(file);
}

int LogPrintfV(int level, const char* format, va_list args) {
  if (gLogSwitch == 0) return 0;
  if (level > gLogThreshold) return 0;
  char line[kLineSize];
  int length = vsnprintf(line, sizeof line, format, args);
  if (length < 0) return 0;
  LogWriteLine(line);
  if (static_cast<size_t>(length) >= kLineSize) return -static_cast<int>(kLineSize - 1);
  return length;
}

int LogPrintf(int level, const char* format, ...) {
  va_list args;
  va_start(args, format);
  int result = LogPrintfV(level, format, args);
  va_end(args);
  return result;
}

char* TempFormat(const char* format, ...) {
  char* buffer = gTempBuffer != nullptr ? gTempBuffer : gFallbackTemp;
  va_list args;
  va_start(args, format);
  int length = vsnprintf(buffer, kTempSize, format, args);
  va_end(args);
  if (length < 0) buffer[0] = '\0';
  return buffer;
}

bool AllocTempBuffer() {
  if (gTempBuffer != nullptr) return true;
  gTempBuffer = static_cast<char*>(AllocMem(kMainPoolId, kTempSize));
  if (gTempBuffer != nullptr) gTempBuffer[0] = '\0';
  return gTempBuffer != nullptr;
}

void FreeTempBuffer() {
  char* buffer = gTempBuffer;
  gTempBuffer = nullptr;
  if (buffer != nullptr) FreeMem(buffer);
}

void InitLog(const ExecConfig* config) {
  char directory[sizeof(ExecConfig::logDirectory) + 1];
  CopyConfigText(config->logDirectory, sizeof config->logDirectory, directory);
  SetLogDirectory(directory);

  if (config->logMode == 2) {
    char path[kPathSize];
    if (BuildLogPath(path)) {
      FILE* file = os::OpenFile(path, "w");
      if (file != nullptr) {
        fputs("Log Create\n", file);
        fclose(file);
      }
    }
  }
  if (config->logMode != 0) {
    os::LocalTime now = os::Now();
    const char* month = now.month >= 1 && now.month <= 12 ? kMonths[now.month - 1] : "???";
    char line[kLineSize];
    snprintf(line, sizeof line, "Exec Log Init %d %s %d at %02d:%02d:%02d", now.day, month,
             now.year, now.hour, now.minute, now.second);
    LogWriteLine(line);
  }
}

// ---- the assert box

int FormatAssertText(char* out, const char* file, int line, const char* condition,
                     const char* message) {
  int length = snprintf(out, kAssertTextSize,
                        "Vexel Assert Box\n"
                        "_________________________________________________\n"
                        "\n\nCond : %s\nMessage : %s\n\nIn file : %s, at line : %i",
                        condition != nullptr ? condition : "", message != nullptr ? message : "",
                        file != nullptr ? file : "", line);
  if (length < 0) {
    out[0] = '\0';
    return 0;
  }
  return length < kAssertTextSize ? length : kAssertTextSize - 1;
}

void SetAssertHook(AssertHook hook) { gAssertHook = hook; }
void SetDebuggerProbe(DebuggerProbe probe) { gDebuggerProbe = probe; }

bool AssertBox(const char* file, int line, const char* condition, const char* message) {
  bool retry;
  if (gAssertHook != nullptr) {
    retry = gAssertHook(file, line, message);
  } else {
    char text[kAssertTextSize];
    FormatAssertText(text, file, line, condition, message);
    retry = os::RetryCancelBox(text, "Vexel assert !");
  }
  if (!retry) return false;
  return gDebuggerProbe != nullptr ? gDebuggerProbe() : os::DebuggerAttached();
}

void ExecAssertFailed(const char* file, int line, const char* message) {
  if (AssertBox(file, line, "FALSE", message)) os::BreakIntoDebugger();
  // The message may be a finished TempFormat text holding '%'.
  LogPrintf(0, "%s", message != nullptr ? message : "");
}
