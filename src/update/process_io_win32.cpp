// Outside programs in the product: CreateProcess with CREATE_NO_WINDOW (the
// C runtime's _popen and _spawnv flash a console window over a GUI program)
// and, for a program whose output is read, a pipe as its standard output.
#include <windows.h>

#include "update/process_io.h"

namespace {

constexpr size_t kCommandLineSize = 4096;
constexpr DWORD kStepMs = 10;

// The program as given, or with ".exe" behind it when only that is there.
bool ProgramFile(const char* program, char* out, size_t size) {
  const size_t length = strlen(program);
  if (length + 5 > size) return false;
  memcpy(out, program, length + 1);
  if (GetFileAttributesA(out) != INVALID_FILE_ATTRIBUTES) return true;
  memcpy(out + length, ".exe", 5);
  if (GetFileAttributesA(out) != INVALID_FILE_ATTRIBUTES) return true;
  out[length] = 0;
  return true;  // CreateProcess says that it is not there
}

void Drain(HANDLE pipe, ProcessOutput* output) {
  for (;;) {
    DWORD waiting = 0;
    if (!PeekNamedPipe(pipe, nullptr, 0, nullptr, &waiting, nullptr) || waiting == 0) return;
    char buffer[4096];
    DWORD got = 0;
    if (!ReadFile(pipe, buffer, waiting < sizeof buffer ? waiting : sizeof buffer, &got, nullptr) || got == 0) {
      return;
    }
    output->Append(buffer, got);
  }
}

}  // namespace

bool ProcessRunner::RunCapture(const char* program, const char* const* args, ProcessOutput* output,
                               uint32_t timeoutMs, int* exitCode) {
  if (exitCode) *exitCode = -1;
  char file[MAX_PATH];
  static char commandLine[kCommandLineSize];  // CreateProcessA may write into it
  if (program == nullptr || !ProgramFile(program, file, sizeof file) ||
      !BuildCommandLine(args, commandLine, sizeof commandLine)) {
    return false;
  }

  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  HANDLE nul = INVALID_HANDLE_VALUE;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  if (output) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return false;
    // Only the writing end goes to the program.
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                      OPEN_EXISTING, 0, nullptr);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdInput = nul;
    startup.hStdOutput = writeEnd;
    startup.hStdError = nul;
  }
  PROCESS_INFORMATION process{};
  const BOOL created = CreateProcessA(file, commandLine, nullptr, nullptr, output ? TRUE : FALSE,
                                      CREATE_NO_WINDOW, nullptr, nullptr, &startup, &process);
  if (writeEnd) CloseHandle(writeEnd);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (!created) {
    if (readEnd) CloseHandle(readEnd);
    return false;
  }
  CloseHandle(process.hThread);

  const ULONGLONG end = GetTickCount64() + timeoutMs;
  bool killed = false;
  for (;;) {
    if (output) Drain(readEnd, output);
    if (WaitForSingleObject(process.hProcess, kStepMs) == WAIT_OBJECT_0) break;
    if (GetTickCount64() >= end) {
      TerminateProcess(process.hProcess, 1);
      WaitForSingleObject(process.hProcess, 1000);
      killed = true;
      break;
    }
  }
  if (output) Drain(readEnd, output);
  DWORD code = 0;
  if (exitCode && !killed && GetExitCodeProcess(process.hProcess, &code)) *exitCode = static_cast<int>(code);
  CloseHandle(process.hProcess);
  if (readEnd) CloseHandle(readEnd);
  return true;
}

ProcessRunner& SystemProcesses() {
  static ProcessRunner runner;
  return runner;
}
