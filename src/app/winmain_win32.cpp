// Program entry: options, the program's folder, single instance, the frame
// window and the message loop. The ControlPanel starts and stops the parts.
#include <windows.h>
#include <commdlg.h>
#include <shellapi.h>

#include <cstring>
#include <string>

#include "app/control_panel.h"
#include "app/desktop_win32.h"
#include "app/file_commands.h"
#include "app/flash_window_win32.h"
#include "app/frame_win32.h"
#include "app/options.h"
#include "app/pages_win32.h"
#include "app/program_folder_win32.h"
#include "app/resource.h"
#include "exec/file.h"
#include "exec/log.h"
#include "exec/wide_path_win32.h"
#include "input/directinput_backend_win32.h"

namespace {

wchar_t gFrameClassName[kClassNameChars];

void ReadStartupOptions() {
  SetStartupOptions(StartupOptions{});
  int argc = 0;
  LPWSTR* argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  if (argv == nullptr) return;
  SetStartupOptions(ParseStartupOptions(argc, argv));
  LocalFree(argv);
}

void RegisterFrameClass(HINSTANCE instance) {
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = FrameClassProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TILLERSET));
  wc.hIconSm = wc.hIcon;
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = gFrameClassName;
  RegisterClassExW(&wc);
}

// A second start waits no longer than this for the running copy's answer.
constexpr DWORD kForwardWaitMs = 2000;

// The profile name of "-profile" in the dialogs' code page, as profiles are named.
void ProfileOption(char* out, size_t size) {
  out[0] = 0;
  const StartupOptions& options = CurrentStartupOptions();
  if (!options.profileGiven) return;
  if (WideCharToMultiByte(CP_ACP, 0, options.profile, -1, out, static_cast<int>(size), nullptr, nullptr) <= 0) {
    out[0] = 0;
  }
}

BOOL CALLBACK FindFrame(HWND window, LPARAM found) {
  if (GetPropW(window, kFrameProperty) == nullptr) return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

// Hands this start's wish to the running copy: bring the window forward, or
// choose a profile. True when the copy answered within kForwardWaitMs (it may
// still be starting: its frame is looked for until then).
bool ForwardToRunningCopy() {
  char profile[kOptionProfileMax + 1];
  ProfileOption(profile, sizeof profile);
  char message[kForwardMax];
  const size_t length =
      EncodeForward(profile[0] != 0 ? ForwardKind::kProfile : ForwardKind::kShow, profile, message);
  if (length == 0) return false;
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD spent = GetTickCount() - start;
    if (spent >= kForwardWaitMs) return false;
    HWND frame = nullptr;
    EnumWindows(FindFrame, reinterpret_cast<LPARAM>(&frame));
    if (frame != nullptr) {
      DWORD process = 0;
      GetWindowThreadProcessId(frame, &process);
      // This start was the user's act: the running copy may take the foreground.
      AllowSetForegroundWindow(process);
      COPYDATASTRUCT data{kForwardTag, static_cast<DWORD>(length), message};
      DWORD_PTR answer = 0;
      if (SendMessageTimeoutW(frame, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_ABORTIFHUNG,
                              kForwardWaitMs - spent, &answer) != 0) {
        return answer == TRUE;
      }
      return false;  // it did not answer in time
    }
    Sleep(50);
  }
}

// Holds the named mutex for the whole run; null when another copy has it
// (which then has been told of this start, or the user told that it runs).
HANDLE TakeSingleInstance() {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Tillerset");
  if (mutex != nullptr && GetLastError() != ERROR_ALREADY_EXISTS) return mutex;
  if (mutex != nullptr) CloseHandle(mutex);
  if (!ForwardToRunningCopy()) {
    MessageBoxW(nullptr, L"Another instance of Tillerset is running", L"", MB_ICONERROR | MB_OK);
  }
  return nullptr;
}

// The start's windows: the frame (dialog 166) and the pages inside it.
class WindowsProgram : public ProgramHost {
 public:
  WindowsProgram(HINSTANCE module, DWORD folderError) : folderError_(folderError) {
    instance = module;
    inputBackend = &DirectInputBackend(module);
    quit = [] { PostQuitMessage(0); };
  }
  void WorkingDirectory(char* out, size_t size) override {
    // In UTF-8, as every runtime path: the ANSI form of a folder the code page
    // cannot hold names another folder, or none.
    wchar_t wide[kPathMax] = L"";
    DWORD length = GetCurrentDirectoryW(kPathMax, wide);
    const std::string folder = length > 0 && length < kPathMax ? Utf8Path(wide) : std::string();
    if (folder.size() >= size) {
      out[0] = 0;
      return;
    }
    memcpy(out, folder.c_str(), folder.size() + 1);
  }
  void RuntimeStarted() override {
    if (folderError_ != 0) {
      LogPrintf(0, "UseProgramFolder: working in the start folder instead (error %lu)", folderError_);
    }
  }
  void* CreateFrame() override {
    frame_ = CreateDialogParamW(static_cast<HINSTANCE>(instance), MAKEINTRESOURCEW(IDD_FRAME), nullptr,
                                FrameDialogProc, 0);
    if (frame_ == nullptr) LogPrintf(0, "CreateFrame: could not create the frame window (error %lu)", GetLastError());
    return frame_;
  }
  bool InputStarted() override { return !GamingInputStartFailed(); }
  // "-tray": the pages are built with the frame left hidden.
  PageWindows& Pages() override { return FramePageWindows(frame_, !CurrentStartupOptions().startInTray); }

 private:
  DWORD folderError_;
  HWND frame_ = nullptr;
};

bool PickFirmwareFile(void* owner, char* path, size_t size) {
  path[0] = 0;
  OPENFILENAMEA dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = static_cast<HWND>(owner);
  dialog.lpstrFilter = "Firmware (*.hex)\0*.hex\0All files (*.*)\0*.*\0";
  dialog.lpstrFile = path;
  dialog.nMaxFile = static_cast<DWORD>(size);
  dialog.lpstrTitle = "Flash firmware from file";
  // The program works in its own folder: the dialog must not move it.
  dialog.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR;
  return GetOpenFileNameA(&dialog) != 0;
}

int RunMessageLoop(HWND frame, HACCEL accelerators) {
  MSG msg{};
  bool quitWaiting = false;
  WPARAM quitCode = 0;
  for (;;) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) {  // WM_QUIT
      // A flash that runs is not cut short: the board would be left
      // without firmware. The loop goes on until it has ended.
      if (!Panel().updater.Flashing()) break;
      if (!quitWaiting) LogPrintf(0, "RunMessageLoop: the program ends once the firmware update has ended");
      quitWaiting = true;
      quitCode = msg.wParam;
      continue;
    }
    if (quitWaiting && !Panel().updater.Flashing()) {
      msg.wParam = quitCode;
      break;
    }
    if (got < 0) {        // a broken queue: leave through the normal shutdown
      msg.wParam = 0;
      break;
    }
    if (accelerators != nullptr && TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) continue;
    TranslateMessage(&msg);
    // Every key-down goes to the frame window first, so Escape in any control
    // of the pages ends the program.
    if (msg.message == WM_KEYDOWN && SendMessageW(frame, WM_KEYDOWN, msg.wParam, msg.lParam) != 0) {
      continue;
    }
    DispatchMessageW(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  ReadStartupOptions();
  // Before the runtime reads the working folder: settings, log, System\ and
  // Tools\ all live beside the program, however it was started.
  const DWORD folderError = UseProgramFolder();
  LoadStringW(instance, IDS_FRAME_CLASS, gFrameClassName, kClassNameChars);
  RegisterFrameClass(instance);
  if (const char* problem = CurrentStartupOptions().problem) {
    MessageBoxA(nullptr, problem, "", MB_ICONWARNING | MB_OK);
  }

  HANDLE mutex = TakeSingleInstance();
  if (mutex == nullptr) return 0;

  ControlPanel& panel = Panel();
  WindowsProgram program(instance, folderError);
  char profile[kOptionProfileMax + 1];
  ProfileOption(profile, sizeof profile);
  program.startProfile = profile;
  InstallDesktopServices();
  // The firmware update's own window and its file picker.
  static FlashProgressWindow flashWindow;
  flashWindow.instance = instance;
  panel.updater.flashView = &flashWindow;
  panel.updateView.pickFile = PickFirmwareFile;
  int quitCode = 0;
  if (panel.Start(program)) {
    if (CurrentStartupOptions().startInTray) StartHiddenInTray();
    // An unknown name is said in the window, as for a second start's.
    if (profile[0] != 0 && panel.profiles.list.Find(profile) == nullptr) {
      PostProfileChoice(static_cast<HWND>(panel.frameWindow), profile);
    }
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDA_FRAME));
    flashWindow.owner = static_cast<HWND>(panel.frameWindow);
    quitCode = RunMessageLoop(static_cast<HWND>(panel.frameWindow), accelerators);
    // A quit while hidden (the session ending, a close from the taskbar) must
    // not leave an icon behind, nor the tray object in the runtime's pool.
    panel.hiddenToTray = 0;
    UpdateTrayState(panel);
  }
  panel.Stop();
  CloseHandle(mutex);
  return quitCode;
}
