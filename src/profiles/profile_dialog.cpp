// The "Game Profile" dialog's logic and the main page's profile commands.
#include "profiles/profile_dialog.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "ui/dialog_controls.h"
#include "profiles/game_profiles.h"
#include "wheel/wheel_link.h"

const char kProgramNameTooLong[] = "A profile's process name can have at most 63 characters";

namespace {

constexpr int kPickedPathChars = 1024;

int CompareNoCase(const char* a, const char* b) {
  const unsigned char* x = reinterpret_cast<const unsigned char*>(a);
  const unsigned char* y = reinterpret_cast<const unsigned char*>(b);
  for (;; ++x, ++y) {
    const int cx = (*x >= 'A' && *x <= 'Z') ? *x + 32 : *x;
    const int cy = (*y >= 'A' && *y <= 'Z') ? *y + 32 : *y;
    if (cx != cy || cx == 0) return cx - cy;
  }
}

// Alphabetical without regard to case; names that differ only in case keep
// one order, so the list is the same every time.
int CompareNames(const void* a, const void* b) {
  const char* x = static_cast<const char*>(a);
  const char* y = static_cast<const char*>(b);
  const int order = CompareNoCase(x, y);
  return order != 0 ? order : std::strcmp(x, y);
}

void CollectProgram(void* context, const char* exeName) {
  RunningPrograms* programs = static_cast<RunningPrograms*>(context);
  // A name a profile cannot hold whole would never be found running.
  if (!exeName || !exeName[0] || std::strlen(exeName) > kProfileTextMax) return;
  if (programs->count >= kMaxRunningPrograms) return;
  std::strcpy(programs->names[programs->count++], exeName);
}

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

void FillRunningPrograms(DialogControls& dialog, ProcessWalker walk, RunningPrograms* programs) {
  programs->count = 0;
  dialog.ResetCombo(IDC_RUNNING_PROGRAMS);
  if (!walk || !walk(CollectProgram, programs)) return;
  std::qsort(programs->names, static_cast<size_t>(programs->count), sizeof programs->names[0], CompareNames);
  // Several copies of a program (and names that differ only in case, which
  // Windows takes as one file) are one entry.
  int kept = 0;
  for (int i = 0; i < programs->count; ++i) {
    if (kept > 0 && CompareNoCase(programs->names[kept - 1], programs->names[i]) == 0) continue;
    if (kept != i) std::memcpy(programs->names[kept], programs->names[i], sizeof programs->names[0]);
    ++kept;
  }
  programs->count = kept;
  for (int i = 0; i < kept; ++i) dialog.AddComboItem(IDC_RUNNING_PROGRAMS, programs->names[i], i);
}

void RunningProgramPicked(DialogControls& dialog, const RunningPrograms& programs) {
  const int index = dialog.ComboSelection(IDC_RUNNING_PROGRAMS);
  if (index < 0) return;
  const intptr_t at = dialog.ComboItemData(IDC_RUNNING_PROGRAMS, index);
  if (at < 0 || at >= programs.count) return;
  dialog.SetItemText(IDC_PROCESS_NAME, programs.names[at]);
}

void BrowseForProgram(DialogControls& dialog, ProgramFilePicker pick) {
  char path[kPickedPathChars];
  path[0] = 0;
  if (!pick || !pick(dialog, path, sizeof path)) return;
  path[sizeof path - 1] = 0;
  // Game detection sees the file name only, never the folder.
  const char* name = path;
  for (const char* p = path; *p; ++p) {
    if (*p == '\\' || *p == '/' || *p == ':') name = p + 1;
  }
  if (!*name) return;
  if (std::strlen(name) > kProfileTextMax) {
    dialog.ShowMessage(kProgramNameTooLong, kMessageWarning | kMessageOk);
    return;
  }
  dialog.SetItemText(IDC_PROCESS_NAME, name);
}
