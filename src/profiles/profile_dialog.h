#pragma once
// The "Game Profile" dialog (184) and the main page's profile commands (New,
// Edit, Remove), written against DialogControls so they run in native tests;
// the Windows dialog procedure only forwards to them.
#include "profiles/profile_dialog_ids.h"

class DialogControls;
class GameProfiles;
struct GameProfile;

#include "profiles/game_profiles.h"

// Each field is read up to 127 characters (and cut to 63 when stored).
constexpr int kProfileFieldChars = 128;
// Asked before "Remove" takes a profile away; %s is its name.
constexpr char kRemoveQuestion[] = "Remove the profile \"%s\"?";
// The programs the running list shows at most.
constexpr int kMaxRunningPrograms = 512;
// What "Browse..." says to a file whose name a profile cannot hold.
extern const char kProgramNameTooLong[];

// The executable names of the programs running when the dialog opened.
struct RunningPrograms {
  int count = 0;
  char names[kMaxRunningPrograms][kProfileTextMax + 1];
};

// The standard open dialog over owner: true with the full path of the file
// the user picked (any name, any extension), false when cancelled.
using ProgramFilePicker = bool (*)(DialogControls& owner, char* path, int size);
bool PickProgramFile(DialogControls& owner, char* path, int size);

// For a profile: its name (disabled, it cannot change) and its process name.
// Empty (profile null): both fields empty.
void InitProfileDialog(DialogControls& dialog, const GameProfile* profile);
// OK: reads both fields, updates or creates the profile, selects it and ends
// the dialog. A new name that exists already asks first; on No the dialog ends
// with nothing changed. A new profile without a name is not made: the dialog
// stays open.
void ConfirmProfileDialog(GameProfiles& profiles, DialogControls& dialog, GameProfile* profile);
// The running-programs list (IDC_RUNNING_PROGRAMS) from one process snapshot:
// each name once (without regard to case), in alphabetical order; names too
// long for a profile are left out. Item data: the index into programs.
void FillRunningPrograms(DialogControls& dialog, ProcessWalker walk, RunningPrograms* programs);
// A program picked from that list: its name goes into the process field.
void RunningProgramPicked(DialogControls& dialog, const RunningPrograms& programs);
// "Browse...": the picked file's name (without its folder) goes into the
// process field; a name too long for a profile is refused with a message.
void BrowseForProgram(DialogControls& dialog, ProgramFilePicker pick);

// The modal dialog over the page, for a profile or empty (profile null), on the
// platform's dialog system; GameProfiles::runDialog, when set, is used instead
// (tests).
void RunProfileDialog(GameProfiles& profiles, DialogControls& page, GameProfile* profile);

// Main page buttons 2078, 2081 and 2080; page owns the message boxes.
void NewProfileCommand(GameProfiles& profiles, DialogControls& page);
void EditProfileCommand(GameProfiles& profiles, DialogControls& page);
void RemoveProfileCommand(GameProfiles& profiles, DialogControls& page);
