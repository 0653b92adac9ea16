// The "Game Profile" dialog (184) on Win32: a modal dialog whose procedure only
// forwards to the portable logic in profiles/profile_dialog.cpp.
#include <windows.h>

#include "ui/dialog_controls_win32.h"
#include "profiles/game_profiles.h"
#include "profiles/profile_dialog.h"

namespace {

struct ProfileDialogState {
  GameProfiles* profiles;
  GameProfile* profile;  // null: a new profile
  WindowDialogControls controls;
};

INT_PTR CALLBACK ProfileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<ProfileDialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<ProfileDialogState*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      state->controls.Attach(dialog);
      InitProfileDialog(state->controls, state->profile);
      return TRUE;
    case WM_COMMAND:
      if (!state) return FALSE;
      switch (LOWORD(wParam)) {
        case IDOK:  // the button or Enter (the default button)
          ConfirmProfileDialog(*state->profiles, state->controls, state->profile);
          return TRUE;
        case IDCANCEL:  // the close box or Escape: no change
          EndDialog(dialog, 0);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

void RunProfileDialog(GameProfiles& profiles, DialogControls& page, GameProfile* profile) {
  ProfileDialogState state{&profiles, profile, WindowDialogControls()};
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_GAME_PROFILE),
                  static_cast<HWND>(page.Window()), ProfileDialogProc, reinterpret_cast<LPARAM>(&state));
}
