#include "app/frame_win32.h"

#include <commctrl.h>
#include <dbt.h>

#include <cstring>
#include <cwchar>

#include "app/app_tick.h"
#include "app/control_panel.h"
#include "app/live_forces.h"
#include "app/live_forces_ids.h"
#include "app/file_commands.h"
#include "app/options.h"
#include "app/resource.h"
#include "app/system_tray.h"
#include "app/system_tray_win32.h"
#include "exec/log.h"

namespace {

constexpr UINT_PTR kTickTimerId = 0;
constexpr UINT kTickPeriodMs = 33;
constexpr DWORD kLinkControlClasses = 0x8000;  // ICC_LINK_CLASS

// Set when DirectInput could not be started: the program then ends.
bool gInputStartFailed = false;

// A dialog procedure answers SendMessage through DWLP_MSGRESULT; the message
// loop reads that answer to decide whether a key-down was consumed.
INT_PTR Answer(HWND window, LRESULT result) {
  SetWindowLongPtrW(window, DWLP_MSGRESULT, result);
  return TRUE;
}

// A dialog's caption and taskbar button show no class icon: icon 3 is given
// to the frame in the two sizes the system draws there, each its own image.
void SetFrameIcons(HWND window) {
  HINSTANCE instance = static_cast<HINSTANCE>(Panel().instance);
  struct { WPARAM which; int width; int height; } kSizes[] = {
      {ICON_SMALL, SM_CXSMICON, SM_CYSMICON}, {ICON_BIG, SM_CXICON, SM_CYICON}};
  for (const auto& size : kSizes) {
    HANDLE icon = LoadImageW(instance, MAKEINTRESOURCEW(IDI_TILLERSET), IMAGE_ICON,
                             GetSystemMetrics(size.width), GetSystemMetrics(size.height), LR_SHARED);
    if (icon != nullptr) SendMessageW(window, WM_SETICON, size.which, reinterpret_cast<LPARAM>(icon));
  }
}

// The notification area shows small icons: the small image of icon 3 stays
// sharp where a shrunken 32-pixel one would blur. Shared, so loading it on
// every update costs no handle.
HICON LoadTrayIcon(HINSTANCE instance) {
  return static_cast<HICON>(LoadImageW(instance, MAKEINTRESOURCEW(IDI_TILLERSET), IMAGE_ICON,
                                       GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON),
                                       LR_SHARED));
}

// Posted to the frame by a second start's WM_COPYDATA, so that the second
// start has its answer before any box or board write begins.
constexpr UINT kMsgBringForward = WM_APP + 20;
constexpr UINT kMsgChooseProfile = WM_APP + 21;
char gChosenProfile[kOptionProfileMax + 1];

void SetTrayState(uint32_t hidden) {
  ControlPanel& panel = Panel();
  panel.hiddenToTray = hidden;
  panel.link.frameHidden = hidden != 0;
  UpdateTrayState(panel);
  ShowFrameForTrayState(panel);
}

// Out of the tray when hidden there, restored when minimised, to the front.
void BringForward(HWND window) {
  if (Panel().hiddenToTray) {
    SetTrayState(0);
  } else if (IsIconic(window)) {
    ShowWindow(window, SW_RESTORE);
  } else if (!IsWindowVisible(window)) {
    ShowWindow(window, SW_SHOWNORMAL);
  }
  SetForegroundWindow(window);
  LogPrintf(0, "a second start brought the window forward");
}

void ChooseForwardedProfile() {
  ControlPanel& panel = Panel();
  DialogControls* page = panel.mainPageView.page;
  if (page == nullptr || gChosenProfile[0] == 0) return;
  // A board being found or read over the ticks is let finish first (the
  // tick asks again): the profile then goes to a board the profiles have
  // heard of, and no step holds the window for the read and the profile's
  // writes at once.
  if (panel.link.ProbePending()) return;
  char name[kOptionProfileMax + 1];
  memcpy(name, gChosenProfile, sizeof name);
  gChosenProfile[0] = 0;
  // As a command of the page: the status poll stays out of the profile's
  // writes, and a hold already there (a dialog open) stays after them.
  StatusHold hold(panel.link);
  SelectProfileByName(panel, *page, name);
}

INT_PTR OnCopyData(HWND window, const COPYDATASTRUCT* data) {
  char name[kOptionProfileMax + 1];
  const ForwardKind kind =
      data != nullptr ? DecodeForward(data->dwData, data->lpData, data->cbData, name) : ForwardKind::kInvalid;
  if (kind == ForwardKind::kInvalid) {
    LogPrintf(0, "WM_COPYDATA: a message that is no second start's ignored");
    return Answer(window, FALSE);
  }
  if (kind == ForwardKind::kProfile) {
    PostProfileChoice(window, name);
  } else {
    PostMessageW(window, kMsgBringForward, 0, 0);
  }
  return Answer(window, TRUE);
}

void ToggleStartWithWindows() {
  ControlPanel& panel = Panel();
  DesktopServices& desktop = Desktop();
  if (panel.mainPageView.page == nullptr || desktop.startsWithWindows == nullptr) return;
  StartWithWindowsCommand(panel, *panel.mainPageView.page, !desktop.startsWithWindows());
}

INT_PTR OnCommand(HWND window, WORD id) {
  switch (id) {
    case IDM_START_WITH_WINDOWS:
      ToggleStartWithWindows();
      return TRUE;
    case IDM_RESTORE:
      SetTrayState(0);
      return TRUE;
    case IDM_EXIT:
      SetTrayState(0);
      EndDialog(window, IDM_EXIT);
      PostQuitMessage(0);
      return TRUE;
    case IDM_CALIBRATE:
      Panel().link.StartCalibration();
      return TRUE;
    case IDC_LIVE_FORCES:
      OpenLiveForcesWindow(Panel(), window);
      return TRUE;
    case IDM_FLASH_FILE:
      Panel().updater.FlashFileCommand();
      return TRUE;
    case IDM_ABOUT:
      DialogBoxParamW(static_cast<HINSTANCE>(Panel().instance), MAKEINTRESOURCEW(IDD_ABOUT), window,
                      AboutDialogProc, 0);
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

UINT TrayCallbackMessage() {
  static const UINT message = RegisterWindowMessageW(L"Server tray notification");
  return message;
}

bool GamingInputStartFailed() { return gInputStartFailed; }

LRESULT CALLBACK FrameClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}

void StartHiddenInTray() {
  SetTrayState(1);
  ControlPanel& panel = Panel();
  if (panel.tray == nullptr || panel.tray->hidden()) {
    LogPrintf(0, "StartHiddenInTray: no notification area, the window is shown");
    SetTrayState(0);
  }
}

void PostProfileChoice(HWND frame, const char* name) {
  lstrcpynA(gChosenProfile, name, sizeof gChosenProfile);
  PostMessageW(frame, kMsgChooseProfile, 0, 0);
}

void UpdateTrayState(ControlPanel& panel) {
  HINSTANCE instance = static_cast<HINSTANCE>(panel.instance);
  HICON icon = LoadTrayIcon(instance);
  wchar_t tooltip[kMaxTooltipLength];  // 256 bytes
  CopyTooltip(tooltip, kMaxTooltipLength, kTrayTooltip);
  if (panel.hiddenToTray) {
    if (panel.tray == nullptr) {
      // operator new takes the object from the runtime's main pool.
      panel.tray = new SystemTray;
      if (!panel.tray->Create(instance, static_cast<HWND>(panel.frameWindow), TrayCallbackMessage(), tooltip,
                              icon)) {
        LogPrintf(0, "UpdateTrayState: the notification area did not take the icon");
      }
    } else if (panel.tray->created() && !panel.tray->hidden()) {
      panel.tray->SetIcon(icon);
    }
  } else {
    delete panel.tray;  // removes the icon and destroys its window
    panel.tray = nullptr;
  }
}

void ShowFrameForTrayState(ControlPanel& panel) {
  HWND frame = static_cast<HWND>(panel.frameWindow);
  if (frame == nullptr) return;
  bool iconInTray = panel.tray != nullptr && !panel.tray->hidden();
  switch (FrameShowFor(panel.hiddenToTray, iconInTray)) {
    case FrameShow::kShowNormal:
      ShowWindow(frame, SW_SHOWNORMAL);
      break;
    case FrameShow::kHide:
      ShowWindow(frame, SW_HIDE);
      break;
    case FrameShow::kLeaveMinimised:
      // No icon to come back through: the taskbar button stays instead (and
      // comes back when the icon was lost while the frame was hidden).
      if (!IsWindowVisible(frame)) ShowWindow(frame, SW_SHOWMINNOACTIVE);
      break;
  }
}

INT_PTR CALLBACK FrameDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      SetPropW(window, kFrameProperty, reinterpret_cast<HANDLE>(1));
      SetFrameIcons(window);
      if (Panel().input.InitGamingInput(window) < 0) {
        wchar_t className[kClassNameChars] = L"";
        LoadStringW(static_cast<HINSTANCE>(Panel().instance), IDS_FRAME_CLASS, className, kClassNameChars);
        MessageBoxW(nullptr, L"Error Initializing DirectInput", className, MB_ICONERROR | MB_OK);
        EndDialog(window, 0);
        // A frame ended here would leave an invisible program holding the
        // single-instance mutex: the entry point shuts down instead.
        gInputStartFailed = true;
      }
      SetTimer(window, kTickTimerId, kTickPeriodMs, nullptr);
      return TRUE;
    case WM_TIMER:
      ApplicationTick();
      if (gChosenProfile[0] != 0) ChooseForwardedProfile();
      return TRUE;
    case WM_COMMAND:
      return OnCommand(window, LOWORD(wParam));
    case WM_COPYDATA:
      return OnCopyData(window, reinterpret_cast<const COPYDATASTRUCT*>(lParam));
    case kMsgBringForward:
      BringForward(window);
      return TRUE;
    case kMsgChooseProfile:
      ChooseForwardedProfile();
      return TRUE;
    case WM_SIZE:
      if (wParam == SIZE_MINIMIZED) {
        SetTrayState(1);
      } else if (wParam == SIZE_RESTORED) {
        SetTrayState(0);
      }
      return TRUE;
    case WM_ACTIVATE:
      if (LOWORD(wParam) != WA_INACTIVE) Panel().input.Reacquire();
      return TRUE;
    case WM_DEVICECHANGE:
      // Sent to every top-level window, no registration needed; the
      // controllers are enumerated again once the burst of these is over.
      if (wParam == DBT_DEVNODES_CHANGED) {
        Panel().input.DevicesChanged();
        // A bootloader that arrives while no board answers may be a board
        // whose firmware does not start.
        Panel().updater.LookForStrandedBoard(true);
      }
      return Answer(window, TRUE);
    case WM_QUERYENDSESSION:
      return Answer(window, TRUE);
    case WM_ENDSESSION:
      // Windows may end the program as soon as this returns: the exit's
      // saves cannot wait for the message loop to end.
      if (wParam) {
        Panel().SaveForExit();
        LogPrintf(0, "WM_ENDSESSION: the session ends, settings saved");
      }
      return Answer(window, 0);
    case WM_CLOSE:
    case WM_DESTROY:
      LogPrintf(0, "received WM_CLOSE, closing");
      PostQuitMessage(1);
      return TRUE;
    case WM_KEYDOWN:
      if (wParam == VK_ESCAPE) {
        PostQuitMessage(1);
        return Answer(window, 1);
      }
      return FALSE;
    default:
      return FALSE;
  }
}

INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      INITCOMMONCONTROLSEX init{sizeof(init), kLinkControlClasses};
      InitCommonControlsEx(&init);
      return TRUE;
    }
    case WM_COMMAND:
      if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
        EndDialog(window, 1);
        return TRUE;
      }
      return FALSE;
    case WM_KEYDOWN:
    case WM_CHAR:
      if (wParam == VK_ESCAPE) {
        EndDialog(window, 1);
        return TRUE;
      }
      return FALSE;
    case WM_CLOSE:
      EndDialog(window, 1);
      return TRUE;
    default:
      return FALSE;
  }
}
