#pragma once
// The "Game Profile" dialog (184) and the main page's profile commands (New,
// Edit, Remove), written against DialogControls so they run in native tests;
// the Windows dialog procedure only forwards to them.
#include "profiles/profile_dialog_ids.h"

class DialogControls;
class GameProfiles;
struct GameProfile;

// Each field is read up to 127 characters (and cut to 63 when stored).
constexpr int kProfileFieldChars = 128;
// Asked before "Remove" takes a profile away; %s is its name.
constexpr char kRemoveQuestion[] = "Remove the profile \"%s\"?";

// For a profile: its name (disabled, it cannot change) and its process name.
// Empty (profile null): both fields empty.
void InitProfileDialog(DialogControls& dialog, const GameProfile* profile);
// OK: reads both fields, updates or creates the profile, selects it and ends
// the dialog. A new name that exists already asks first; on No the dialog ends
// with nothing changed. A new profile without a name is not made: the dialog
// stays open.
void ConfirmProfileDialog(GameProfiles& profiles, DialogControls& dialog, GameProfile* profile);

// The modal dialog over the page, for a profile or empty (profile null), on the
// platform's dialog system; GameProfiles::runDialog, when set, is used instead
// (tests).
void RunProfileDialog(GameProfiles& profiles, DialogControls& page, GameProfile* profile);

// Main page buttons 2078, 2081 and 2080; page owns the message boxes.
void NewProfileCommand(GameProfiles& profiles, DialogControls& page);
void EditProfileCommand(GameProfiles& profiles, DialogControls& page);
void RemoveProfileCommand(GameProfiles& profiles, DialogControls& page);
