// The "Game Profile" dialog (184) on Win32: a modal dialog that only forwards
// to the portable logic in profiles/profile_dialog.cpp.
#include <windows.h>
#include <commdlg.h>

#include "profiles/game_profiles.h"
#include "profiles/profile_dialog.h"
#include "ui/modal_dialog_win32.h"

namespace {

class ProfileDialog : public ModalDialog {
 public:
  ProfileDialog(GameProfiles& profiles, GameProfile* profile) : profiles_(profiles), profile_(profile) {}

 private:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM) override {
    if (message == WM_INITDIALOG) {
      InitProfileDialog(controls, profile_);
      FillRunningPrograms(controls, profiles_.walkProcesses ? profiles_.walkProcesses : WalkProcesses, &programs_);
      return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
      case IDOK:  // the button or Enter (the default button)
        ConfirmProfileDialog(profiles_, controls, profile_);
        return TRUE;
      case IDCANCEL:  // "Cancel", the close box or Escape: no change
        EndDialog(Window(), 0);
        return TRUE;
      case IDC_BROWSE_PROGRAM:
        BrowseForProgram(controls, PickProgramFile);
        return TRUE;
      case IDC_RUNNING_PROGRAMS:
        if (HIWORD(wParam) == CBN_SELCHANGE) RunningProgramPicked(controls, programs_);
        return TRUE;
      default:
        return FALSE;
    }
  }
  GameProfiles& profiles_;
  GameProfile* profile_;  // null: a new profile
  RunningPrograms programs_;
};

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
  ProfileDialog(profiles, profile).Run(IDD_GAME_PROFILE, page);
}
