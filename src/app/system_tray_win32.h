#pragma once
// One notification-area icon: a hidden message window that receives the
// icon's mouse notifications, the shell's record of the icon, and the add
// and remove calls. The frame creates one when it hides into the tray and
// deletes it when it is shown again (UpdateTrayState in frame_win32.h).
#include <windows.h>
#include <shellapi.h>

// Version-3 layout of the shell's record (everything up to the balloon icon).
// Its size depends on the build: 504 bytes for a 32-bit ANSI record, 968 for
// the 64-bit wide one this program uses; the shell tells them apart by size.
constexpr DWORD kTrayRecordSize = NOTIFYICONDATAW_V3_SIZE;

class SystemTray {
 public:
  SystemTray();
  virtual ~SystemTray();  // deletes the icon if it is shown, destroys the window
  SystemTray(const SystemTray&) = delete;
  SystemTray& operator=(const SystemTray&) = delete;

  // Registers the tray window class (string 110), makes the hidden message
  // window, fills the record and adds the icon. Returns the add call's result
  // (non-zero when the icon is in the notification area).
  BOOL Create(HINSTANCE instance, HWND target, UINT callbackMessage, const wchar_t* tooltip, HICON icon);
  // Replaces the shown icon (modify call, icon only); false when the shell refused.
  bool SetIcon(HICON icon);
  // A restarted shell ("TaskbarCreated") has forgotten every icon: adds this
  // one again and returns whether the shell took it (hidden/removed follow).
  bool AddAgain();
  // A mouse message of the icon: menu on right button up, "Restore" on a
  // double-click. Returns 1 when handled, 0 when there is nowhere to send it.
  LRESULT HandleTrayNotification(UINT mouseMessage);

  bool created() const { return created_ != 0; }
  bool hidden() const { return hidden_ != 0; }
  bool removed() const { return removed_ != 0; }
  UINT iconId() const { return record_.uID; }
  HWND messageWindow() const { return messageWindow_; }

 private:
  HINSTANCE instance_ = nullptr;
  HWND messageWindow_ = nullptr;
  NOTIFYICONDATAW record_;
  int maxTooltipLength_ = 0;
  BOOL created_ = 0;
  BOOL hidden_ = 1;
  BOOL removed_ = 1;
  HWND target_ = nullptr;
  UINT defaultMenuItem_ = 0;
  BOOL defaultByPosition_ = 1;
  UINT savedFlags_ = 0;
};

// Class procedure of the tray's message window.
LRESULT CALLBACK TrayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
