#include "app/system_tray_win32.h"

#include <cstddef>
#include <cwchar>

#include "app/control_panel.h"
#include "app/file_commands.h"
#include "app/frame_win32.h"
#include "app/resource.h"
#include "app/system_tray.h"

static_assert(sizeof(NOTIFYICONDATAW::szTip) / sizeof(wchar_t) == kMaxTooltipLength,
              "the record's tooltip holds the longest tooltip and its NUL");
static_assert(kTrayRecordSize == offsetof(NOTIFYICONDATAW, hBalloonIcon), "version-3 record");

namespace {

wchar_t gTrayClassName[kClassNameChars];
// Broadcast to every top-level window when the shell (re)starts its taskbar.
const UINT gTaskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");

}  // namespace

SystemTray::SystemTray() { ZeroMemory(&record_, sizeof(record_)); }

SystemTray::~SystemTray() {
  if (created_ && !removed_) {
    if (Shell_NotifyIconW(NIM_DELETE, &record_)) {
      hidden_ = 1;
      removed_ = 1;
    }
  }
  if (messageWindow_ != nullptr) DestroyWindow(messageWindow_);
}

BOOL SystemTray::Create(HINSTANCE instance, HWND target, UINT callbackMessage, const wchar_t* tooltip,
                        HICON icon) {
  maxTooltipLength_ = kMaxTooltipLength;
  created_ = 1;
  CheckTrayCreateArguments(callbackMessage, tooltip != nullptr ? wcslen(tooltip) : 0, maxTooltipLength_);
  instance_ = instance;
  target_ = target;

  LoadStringW(instance, IDS_TRAY_CLASS, gTrayClassName, kClassNameChars);
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.style = CS_HREDRAW | CS_VREDRAW;
  wc.lpfnWndProc = TrayWindowProc;
  wc.hInstance = instance;
  wc.hIcon = LoadIconW(instance, MAKEINTRESOURCEW(IDI_TILLERSET));
  wc.hCursor = LoadCursorW(nullptr, MAKEINTRESOURCEW(32512));  // IDC_ARROW
  wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);
  wc.lpszClassName = gTrayClassName;
  // The class outlives the object: from the second tray on this fails with
  // "already exists", and the first registration serves.
  RegisterClassExW(&wc);
  messageWindow_ = CreateWindowExW(0, gTrayClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                   instance, nullptr);

  record_.cbSize = kTrayRecordSize;
  record_.hWnd = messageWindow_;
  record_.uID = kTrayIconId;
  record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record_.uCallbackMessage = callbackMessage;
  record_.hIcon = icon;
  CopyTooltip(record_.szTip, kMaxTooltipLength, tooltip);

  hidden_ = 0;
  savedFlags_ = record_.uFlags;
  BOOL added = Shell_NotifyIconW(NIM_ADD, &record_);
  hidden_ = removed_ = added ? 0 : 1;
  return added;
}

bool SystemTray::SetIcon(HICON icon) {
  record_.hIcon = icon;
  record_.uFlags = NIF_ICON;
  BOOL modified = Shell_NotifyIconW(NIM_MODIFY, &record_);
  record_.uFlags = savedFlags_;
  return modified != 0;
}

bool SystemTray::AddAgain() {
  if (!created_) return false;
  record_.uFlags = savedFlags_;
  // A shell that still knows the icon refuses to add it twice, but takes a modify.
  BOOL added = Shell_NotifyIconW(NIM_ADD, &record_) || Shell_NotifyIconW(NIM_MODIFY, &record_);
  hidden_ = removed_ = added ? 0 : 1;
  return added != 0;
}

LRESULT SystemTray::HandleTrayNotification(UINT mouseMessage) {
  HWND target = target_ != nullptr ? target_ : messageWindow_;
  if (target == nullptr) return 0;
  if (mouseMessage == WM_RBUTTONUP) {
    HMENU menu = LoadMenuW(instance_, MAKEINTRESOURCEW(IDR_TRAY_MENU));
    if (menu == nullptr) return 0;
    HMENU popup = GetSubMenu(menu, 0);
    if (popup == nullptr) {
      DestroyMenu(menu);
      return 0;
    }
    SetMenuDefaultItem(popup, defaultMenuItem_, defaultByPosition_);
    const DesktopServices& desktop = Desktop();
    const bool starts = desktop.startsWithWindows != nullptr && desktop.startsWithWindows();
    CheckMenuItem(popup, IDM_START_WITH_WINDOWS, MF_BYCOMMAND | (starts ? MF_CHECKED : MF_UNCHECKED));
    POINT cursor{};
    GetCursorPos(&cursor);
    // Without the foreground the menu would not close when the user clicks
    // elsewhere; the null message afterwards lets a second right-click work.
    SetForegroundWindow(target);
    TrackPopupMenu(popup, TPM_LEFTALIGN, cursor.x, cursor.y, 0, target, nullptr);
    PostMessageW(target, WM_NULL, 0, 0);
    DestroyMenu(menu);
    return 1;
  }
  if (mouseMessage == WM_LBUTTONDBLCLK) {
    SetForegroundWindow(target);
    // "Restore" deletes this object and its window; nothing here is touched after.
    SendMessageW(target, WM_COMMAND, IDM_RESTORE, 0);
    return 1;
  }
  return 1;
}

LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  ControlPanel& panel = Panel();
  if (panel.tray != nullptr && message == TrayCallbackMessage()) {
    if (wParam != panel.tray->iconId()) return 0;
    return panel.tray->HandleTrayNotification(static_cast<UINT>(lParam));
  }
  if (panel.tray != nullptr && message == gTaskbarCreated && gTaskbarCreated != 0) {
    // The hidden frame must not outlive its icon: without one it comes back
    // minimised on the taskbar.
    panel.tray->AddAgain();
    ShowFrameForTrayState(panel);
    return 0;
  }
  return DefWindowProcW(window, message, wParam, lParam);
}
