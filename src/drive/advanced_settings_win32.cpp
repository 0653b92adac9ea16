// The "Advanced Settings" dialog (2123) on Win32: a modal dialog whose
// procedure only forwards to the portable logic in drive/advanced_settings.cpp.
#include <windows.h>

#include "drive/advanced_settings.h"
#include "ui/dialog_controls_win32.h"

namespace {

struct AdvancedDialogState {
  AdvancedSettings* settings;
  WindowDialogControls controls;
};

INT_PTR CALLBACK AdvancedSettingsProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<AdvancedDialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<AdvancedDialogState*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      state->controls.Attach(dialog);
      state->settings->Init(state->controls);
      return TRUE;
    case WM_COMMAND:
      if (!state) return FALSE;
      // "Ok" (or Enter), "Cancel" (or Escape, or the close box) and every
      // list and button: the logic ends the dialog itself.
      state->settings->Command(state->controls, LOWORD(wParam), HIWORD(wParam));
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

void RunAdvancedSettingsDialog(AdvancedSettings& settings, DialogControls& owner) {
  AdvancedDialogState state{&settings, WindowDialogControls()};
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_ADVANCED_SETTINGS),
                  static_cast<HWND>(owner.Window()), AdvancedSettingsProc, reinterpret_cast<LPARAM>(&state));
}
