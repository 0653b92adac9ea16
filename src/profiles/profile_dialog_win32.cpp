// The "Game Profile" dialog (184) on Win32: a modal dialog whose procedure only
// forwards to the portable logic in profiles/profile_dialog.cpp.
#include <windows.h>
#include <commdlg.h>

#include "ui/dialog_controls_win32.h"
#include "profiles/game_profiles.h"
#include "profiles/profile_dialog.h"

namespace {

struct ProfileDialogState {
  GameProfiles* profiles;
  GameProfile* profile;  // null: a new profile
  WindowDialogControls controls;
  RunningPrograms programs;
};

INT_PTR CALLBACK ProfileDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* state = reinterpret_cast<ProfileDialogState*>(GetWindowLongPtrA(dialog, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      state = reinterpret_cast<ProfileDialogState*>(lParam);
      SetWindowLongPtrA(dialog, DWLP_USER, lParam);
      state->controls.Attach(dialog);
      InitProfileDialog(state->controls, state->profile);
      FillRunningPrograms(state->controls,
                          state->profiles->walkProcesses ? state->profiles->walkProcesses : WalkProcesses,
                          &state->programs);
      return TRUE;
    case WM_COMMAND:
      if (!state) return FALSE;
      switch (LOWORD(wParam)) {
        case IDOK:  // the button or Enter (the default button)
          ConfirmProfileDialog(*state->profiles, state->controls, state->profile);
          return TRUE;
        case IDCANCEL:  // "Cancel", the close box or Escape: no change
          EndDialog(dialog, 0);
          return TRUE;
        case IDC_BROWSE_PROGRAM:
          BrowseForProgram(state->controls, PickProgramFile);
          return TRUE;
        case IDC_RUNNING_PROGRAMS:
          if (HIWORD(wParam) == CBN_SELCHANGE) RunningProgramPicked(state->controls, state->programs);
          return TRUE;
        default:
          return FALSE;
      }
    default:
      return FALSE;
  }
}

}  // namespace

bool PickProgramFile(DialogControls& owner, char* path, int size) {
  // Wide, so that any file the user can see can be picked; the name then goes
  // to the dialog's code page as the process snapshot gives it.
  wchar_t wide[4096];
  wide[0] = 0;
  OPENFILENAMEW open;
  ZeroMemory(&open, sizeof open);
  open.lStructSize = sizeof open;
  open.hwndOwner = static_cast<HWND>(owner.Window());
  open.lpstrFilter = L"Programs (*.exe)\0*.exe\0All files (*.*)\0*.*\0";
  open.lpstrFile = wide;
  open.nMaxFile = sizeof wide / sizeof wide[0];
  open.lpstrTitle = L"Game executable";
  // The program never changes its working folder: config.ini lives there.
  open.Flags = OFN_FILEMUSTEXIST | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_DONTADDTORECENT;
  if (!GetOpenFileNameW(&open)) return false;
  return WideCharToMultiByte(CP_ACP, 0, wide, -1, path, size, nullptr, nullptr) > 0;
}

void RunProfileDialog(GameProfiles& profiles, DialogControls& page, GameProfile* profile) {
  ProfileDialogState state{&profiles, profile, WindowDialogControls(), RunningPrograms()};
  DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_GAME_PROFILE),
                  static_cast<HWND>(page.Window()), ProfileDialogProc, reinterpret_cast<LPARAM>(&state));
}
