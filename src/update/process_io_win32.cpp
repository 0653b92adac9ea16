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

namespace {

class WindowsProcess : public RunningProcess {
 public:
  WindowsProcess(HANDLE process, HANDLE readEnd) : process_(process), readEnd_(readEnd) {}
  ~WindowsProcess() override {
    Kill();
    CloseHandle(process_);
    if (readEnd_) CloseHandle(readEnd_);
  }
  bool Poll(ProcessOutput* output, int* exitCode) override {
    // What waits in the pipe is read; nothing here waits for more.
    ProcessOutput dropped(nullptr, 0);
    Drain(readEnd_, output ? output : &dropped);
    if (!ended_ && WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) return false;
    if (!ended_) {
      ended_ = true;
      Drain(readEnd_, output ? output : &dropped);
    }
    DWORD code = 0;
    if (exitCode) *exitCode = !killed_ && GetExitCodeProcess(process_, &code) ? static_cast<int>(code) : -1;
    return true;
  }
  void Kill() override {
    if (ended_) return;
    if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
      TerminateProcess(process_, 1);
      WaitForSingleObject(process_, 1000);
      killed_ = true;
    }
    ended_ = true;
  }

 private:
  HANDLE process_;
  HANDLE readEnd_;
  bool ended_ = false;
  bool killed_ = false;
};

}  // namespace

RunningProcess* ProcessRunner::Start(const char* program, const char* const* args, bool errorsToo) {
  char file[MAX_PATH];
  static char commandLine[kCommandLineSize];  // CreateProcessA may write into it
  if (program == nullptr || !ProgramFile(program, file, sizeof file) ||
      !BuildCommandLine(args, commandLine, sizeof commandLine)) {
    return nullptr;
  }
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  // Room for what avrdude writes between two ticks.
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 64 * 1024)) return nullptr;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = writeEnd;
  startup.hStdError = errorsToo ? writeEnd : nul;
  PROCESS_INFORMATION process{};
  const BOOL created = CreateProcessA(file, commandLine, nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                                      nullptr, &startup, &process);
  CloseHandle(writeEnd);
  if (nul != INVALID_HANDLE_VALUE) CloseHandle(nul);
  if (!created) {
    CloseHandle(readEnd);
    return nullptr;
  }
  CloseHandle(process.hThread);
  return new WindowsProcess(process.hProcess, readEnd);
}

bool ProcessRunner::CanStart(const char* program) {
  char file[MAX_PATH];
  DWORD type = 0;
  return program != nullptr && ProgramFile(program, file, sizeof file) && GetBinaryTypeA(file, &type) != 0;
}

ProcessRunner& SystemProcesses() {
  static ProcessRunner runner;
  return runner;
}
