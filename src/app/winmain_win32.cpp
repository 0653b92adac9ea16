// Program entry: options, single instance, runtime, settings, frame window,
// message loop, and the orderly shutdown that writes everything back.
#include <windows.h>
#include <shellapi.h>

#include "app/app_tick.h"
#include "app/control_panel.h"
#include "app/frame_win32.h"
#include "app/live_forces_win32.h"
#include "app/options.h"
#include "app/pages_win32.h"
#include "app/program_folder_win32.h"
#include "app/resource.h"
#include "app/startup_config.h"
#include "exec/execlib.h"
#include "exec/log.h"
#include "exec/memory.h"
#include "input/directinput_backend_win32.h"
#include "script/script_layer.h"

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

// Holds the named mutex for the whole run; null when another copy has it.
HANDLE TakeSingleInstance() {
  HANDLE mutex = CreateMutexW(nullptr, TRUE, L"Tillerset");
  if (mutex != nullptr && GetLastError() != ERROR_ALREADY_EXISTS) return mutex;
  if (mutex != nullptr) CloseHandle(mutex);
  MessageBoxW(nullptr, L"Another instance of Tillerset is running", L"", MB_ICONERROR | MB_OK);
  return nullptr;
}

bool StartRuntime(HINSTANCE instance) {
  char workingDirectory[512] = "";
  DWORD length = GetCurrentDirectoryA(sizeof(workingDirectory), workingDirectory);
  if (length == 0 || length >= sizeof(workingDirectory)) workingDirectory[0] = 0;
  ExecConfig config;
  FillAppExecConfig(&config, workingDirectory, instance);
  gMemBreakAtNumber = 0xFFFFFFFF;
  gMemBreakAtAddress = ~uintptr_t(0);
  InstallScriptLayer();
  if (!InitExec(&config)) return false;
  if (DeveloperMode()) LogPrintf(0, "developer mode on");
  if (XInputFilter()) LogPrintf(0, "XInput filter on");
  return true;
}

void LoadSettingsAndProfiles() {
  Panel().LoadSettings();
  Panel().profiles.LoadProfiles();
}


int RunMessageLoop(HWND frame, HACCEL accelerators) {
  MSG msg{};
  for (;;) {
    BOOL got = GetMessageW(&msg, nullptr, 0, 0);
    if (got == 0) break;  // WM_QUIT
    if (got < 0) {        // a broken queue: leave through the normal shutdown
      msg.wParam = 0;
      break;
    }
    if (accelerators != nullptr && TranslateAcceleratorW(msg.hwnd, accelerators, &msg)) continue;
    // The Live Forces window takes its own keys (Escape closes it, Tab moves
    // between its controls) before Escape anywhere else ends the program.
    HWND forces = LiveForcesWindowHandle();
    if (forces != nullptr && (msg.hwnd == forces || IsChild(forces, msg.hwnd)) && IsDialogMessageW(forces, &msg)) {
      continue;
    }
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
  DWORD folderError = UseProgramFolder();
  LoadStringW(instance, IDS_FRAME_CLASS, gFrameClassName, kClassNameChars);
  RegisterFrameClass(instance);

  HANDLE mutex = TakeSingleInstance();
  if (mutex == nullptr) return 0;

  ControlPanel& panel = Panel();
  panel.instance = instance;
  panel.link.statusHold = true;  // no status refresh before the pages exist

  if (StartRuntime(instance)) {
    if (folderError != 0) {
      LogPrintf(0, "UseProgramFolder: working in the start folder instead (error %lu)", folderError);
    }
    LoadSettingsAndProfiles();
  }
  // Nothing of the drive opens, runs or logs outside developer mode.
  if (DeveloperMode()) panel.drive.SwitchOn();
  // The automatic update check, once per run from the status refresh, fetched
  // off this thread; a "Yes" to a new tool ends the program the normal way.
  panel.startAutoUpdateCheck = [](ControlPanel& p) { p.updater.StartCheck(true); };
  panel.updateView.quit = [] { PostQuitMessage(0); };
  // Game detection looks only at processes, so it runs from the first tick on.
  ApplicationTickHooks().gameDetection = [] { Panel().DetectGame(); };

  panel.input.backend = &DirectInputBackend(instance);
  panel.input.xinputFilter = XInputFilter();

  AppInstance& app = App();
  app.instance = instance;
  HWND frame = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_FRAME), nullptr, FrameDialogProc, 0);
  if (frame == nullptr) {
    LogPrintf(0, "WinMain: could not create the frame window (error %lu)", GetLastError());
    // The profiles and the controllers live in the pools: left over they
    // would count as leaked in Exec remove's report.
    panel.input.Shutdown();
    panel.profiles.FreeProfiles();
    if (ExecStarted()) ExecRemove();
    CloseHandle(mutex);
    return 0;
  }
  int quitCode = 0;
  if (GamingInputStartFailed()) {
    // The error box has been answered: the normal shutdown, without pages
    // (nothing of the board was read, so no profile takes page values).
    LogPrintf(0, "WinMain: DirectInput could not be started, ending");
  } else {
    HACCEL accelerators = LoadAcceleratorsW(instance, MAKEINTRESOURCEW(IDA_FRAME));
    BuildPageWindows(frame);
    app.frameWindow = static_cast<HWND>(panel.frameWindow);

    quitCode = RunMessageLoop(frame, accelerators);
    // Its debug level goes back to the board while the port is still open.
    CloseLiveForcesWindow();
    // A quit while hidden (the session ending, a close from the taskbar) must
    // not leave an icon behind, nor the tray object in the runtime's pool.
    app.hiddenToTray = 0;
    UpdateTrayState(app);
  }

  panel.updater.EndCheck();
  panel.SaveForExit();
  panel.input.Shutdown();
  panel.profiles.FreeProfiles();
  if (ExecStarted()) ExecRemove();
  panel.link.channel->Close();
  CloseHandle(mutex);
  return quitCode;
}
