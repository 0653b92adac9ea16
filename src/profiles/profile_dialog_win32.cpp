// The "Game Profile" dialog (184) on Win32: a modal dialog that only forwards
// to the portable logic in profiles/profile_dialog.cpp.
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
      return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    switch (LOWORD(wParam)) {
      case IDOK:  // the button or Enter (the default button)
        ConfirmProfileDialog(profiles_, controls, profile_);
        return TRUE;
      case IDCANCEL:  // the close box or Escape: no change
        EndDialog(Window(), 0);
        return TRUE;
      default:
        return FALSE;
    }
  }
  GameProfiles& profiles_;
  GameProfile* profile_;  // null: a new profile
};

}  // namespace

void RunProfileDialog(GameProfiles& profiles, DialogControls& page, GameProfile* profile) {
  ProfileDialog(profiles, profile).Run(IDD_GAME_PROFILE, page);
}
