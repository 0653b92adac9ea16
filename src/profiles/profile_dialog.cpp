// The "Game Profile" dialog's logic and the main page's profile commands.
#include "profiles/profile_dialog.h"

#include <cstdio>
#include <cstring>

#include "ui/dialog_controls.h"
#include "profiles/game_profiles.h"
#include "wheel/wheel_link.h"

namespace {

// The protection is by exact name: a profile called "default" is the user's own.
bool IsDefault(const GameProfile* profile) {
  return profile && strcmp(profile->name, kDefaultProfileName) == 0;
}

void SetProcessName(GameProfiles& profiles, GameProfile* profile, const char* process) {
  char cut[kProfileTextMax + 1];
  CopyProfileText(cut, process);
  if (strcmp(cut, profile->processName) == 0) return;
  memcpy(profile->processName, cut, sizeof cut);
  ++profiles.changes;
}

void OpenDialog(GameProfiles& profiles, DialogControls& page, GameProfile* profile) {
  (profiles.runDialog ? profiles.runDialog : RunProfileDialog)(profiles, page, profile);
}

}  // namespace

void InitProfileDialog(DialogControls& dialog, const GameProfile* profile) {
  dialog.SetItemText(IDC_PROFILE_NAME, profile ? profile->name : "");
  dialog.SetItemText(IDC_PROCESS_NAME, profile ? profile->processName : "");
  if (profile) dialog.EnableItem(IDC_PROFILE_NAME, false);
}

void ConfirmProfileDialog(GameProfiles& profiles, DialogControls& dialog, GameProfile* profile) {
  char name[kProfileFieldChars];
  char process[kProfileFieldChars];
  dialog.GetItemText(IDC_PROFILE_NAME, name, sizeof name);
  dialog.GetItemText(IDC_PROCESS_NAME, process, sizeof process);

  GameProfile* target = nullptr;
  if (profile) {
    // Game detection may have run while the dialog was open, but profiles are
    // only removed by the page; still, never write through a stale pointer.
    if (profiles.list.IndexOf(profile) >= 0) {
      SetProcessName(profiles, profile, process);
      target = profile;
    }
  } else {
    char cut[kProfileTextMax + 1];
    CopyProfileText(cut, name);
    // A profile needs a name to be found by (and shown in the list): "Ok"
    // without one (or with only what a name cannot hold) leaves the dialog open.
    if (cut[0] == '\0') return;
    if (GameProfile* existing = profiles.list.Find(cut)) {
      if (dialog.ShowMessage("Profile already exists, do you want to update it ?",
                             kMessageQuestion | kMessageYesNo) != kAnswerYes) {
        dialog.EndDialog(1);
        return;
      }
      SetProcessName(profiles, existing, process);
      target = existing;
    } else {
      // A new profile starts from the defaults, not from the current values.
      target = profiles.CreateProfile(name, process);
    }
  }
  if (target) profiles.SelectProfile(profiles.list.IndexOf(target));
  dialog.EndDialog(1);
}

void NewProfileCommand(GameProfiles& profiles, DialogControls& page) {
  profiles.link.WaitNotBusy();
  OpenDialog(profiles, page, nullptr);
}

void EditProfileCommand(GameProfiles& profiles, DialogControls& page) {
  GameProfile* profile = profiles.CurrentProfile();
  if (!profile) return;  // nothing selected: nothing to edit
  if (IsDefault(profile)) {
    page.ShowMessage("You can't edit the default profile", kMessageWarning | kMessageOk);
    return;
  }
  OpenDialog(profiles, page, profile);
}

void RemoveProfileCommand(GameProfiles& profiles, DialogControls& page) {
  GameProfile* profile = profiles.CurrentProfile();
  if (!profile) return;
  if (IsDefault(profile)) {
    page.ShowMessage("You can't remove the default profile", kMessageWarning | kMessageOk);
    return;
  }
  // The question names the profile: the selection may have changed by game
  // detection since the user last looked at the list.
  char question[sizeof kRemoveQuestion + kProfileTextMax];
  snprintf(question, sizeof question, kRemoveQuestion, profile->name);
  if (page.ShowMessage(question, kMessageQuestion | kMessageYesNo) != kAnswerYes) return;
  profiles.RemoveProfile(profiles.list.IndexOf(profile));
}
