#include "app/flash_window_win32.h"

#include <commctrl.h>

#include "app/control_panel.h"
#include "app/resource.h"

namespace {

INT_PTR CALLBACK FlashDialogProc(HWND, UINT message, WPARAM wParam, LPARAM) {
  switch (message) {
    case WM_INITDIALOG:
      return TRUE;
    case WM_COMMAND:
      // Cancel (and Escape) only before the board is touched: after that a
      // stopped flash would leave the wheel without firmware.
      if (LOWORD(wParam) == IDCANCEL) Panel().updater.CancelFlash();
      return TRUE;
    case WM_CLOSE:
      Panel().updater.CancelFlash();
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void FlashProgressWindow::ShowFlash(FlashStage stage, int percent, bool mayCancel) {
  if (window_ == nullptr) {
    INITCOMMONCONTROLSEX init{sizeof init, ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&init);
    window_ = CreateDialogParamW(instance, MAKEINTRESOURCEW(IDD_FLASH), owner, FlashDialogProc, 0);
    if (window_ == nullptr) return;
    SendDlgItemMessageW(window_, IDC_FLASH_PROGRESS, PBM_SETRANGE32, 0, 100);
    // The frame answers but takes no command while the board is away.
    if (owner) EnableWindow(owner, FALSE);
    ShowWindow(window_, SW_SHOW);
  }
  SetDlgItemTextA(window_, IDC_FLASH_STAGE, FlashStageText(stage));
  SendDlgItemMessageW(window_, IDC_FLASH_PROGRESS, PBM_SETPOS, static_cast<WPARAM>(percent), 0);
  SetDlgItemTextA(window_, IDC_FLASH_NOTE, mayCancel ? "" : kDoNotUnplug);
  EnableWindow(GetDlgItem(window_, IDCANCEL), mayCancel);
}

void FlashProgressWindow::EndFlash() {
  if (window_ == nullptr) return;
  if (owner) EnableWindow(owner, TRUE);
  DestroyWindow(window_);
  window_ = nullptr;
  if (owner) SetForegroundWindow(owner);
}
