// Outside programs in the product: CreateProcess with CREATE_NO_WINDOW (the
// C runtime's _popen and _spawnv flash a console window over a GUI program)
// and, for a program whose output is read, a pipe as its standard output.
#include <windows.h>

#include <string>

#include "exec/wide_path_win32.h"
#include "update/process_io.h"

namespace {

constexpr size_t kCommandLineSize = 4096;
constexpr DWORD kStepMs = 10;

// The program's own folder, "\\" at its end, from the program file itself:
// the working folder can be any folder, and a name searched for along the
// system's path could start someone else's program (C:\Tools\...).
std::wstring ProgramFolder() {
  std::wstring path(32768, L'\0');
  const DWORD length = GetModuleFileNameW(nullptr, &path[0], static_cast<DWORD>(path.size()));
  if (length == 0 || length >= path.size()) return std::wstring();
  path.resize(length);
  const size_t slash = path.find_last_of(L"\\/");
  return slash == std::wstring::npos ? std::wstring() : path.substr(0, slash + 1);
}

// The program by its full path in the program's folder, as given or with
// ".exe" behind it when only that is there.
std::wstring ProgramFile(const std::wstring& folder, const char* program) {
  const std::wstring name = WidePath(program);
  if (folder.empty() || name.empty()) return std::wstring();
  std::wstring file = folder + name;
  if (GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES) return file;
  if (GetFileAttributesW((file + L".exe").c_str()) != INVALID_FILE_ATTRIBUTES) return file + L".exe";
  return file;  // CreateProcess says that it is not there
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
  RunningProcess* running = ProcessRunner::Start(program, args, false);
  if (running == nullptr) return false;
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  int code = -1;
  while (!running->Poll(output, &code)) {
    if (GetTickCount64() >= end) {
      running->Kill();
      running->Poll(output, &code);
      break;
    }
    Sleep(kStepMs);
  }
  delete running;
  if (exitCode) *exitCode = code;
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
  char commandLine[kCommandLineSize];
  if (program == nullptr || !BuildCommandLine(args, commandLine, sizeof commandLine)) return nullptr;
  const std::wstring folder = ProgramFolder();
  const std::wstring file = ProgramFile(folder, program);
  std::wstring wideCommandLine = WidePath(commandLine);  // CreateProcessW may write into it
  if (file.empty() || wideCommandLine.empty()) return nullptr;
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  // Room for what avrdude writes between two ticks.
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 64 * 1024)) return nullptr;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nul = CreateFileA("NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherit,
                           OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nul;
  startup.hStdOutput = writeEnd;
  startup.hStdError = errorsToo ? writeEnd : nul;
  PROCESS_INFORMATION process{};
  const BOOL created = CreateProcessW(file.c_str(), &wideCommandLine[0], nullptr, nullptr, TRUE, CREATE_NO_WINDOW,
                                      nullptr, folder.c_str(), &startup, &process);
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
  if (program == nullptr) return false;
  const std::wstring file = ProgramFile(ProgramFolder(), program);
  DWORD type = 0;
  return !file.empty() && GetBinaryTypeW(file.c_str(), &type) != 0;
}

ProcessRunner& SystemProcesses() {
  static ProcessRunner runner;
  return runner;
}
