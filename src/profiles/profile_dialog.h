#pragma once
// The "Game Profile" dialog (184) and the main page's profile commands (New,
// Edit, Remove), written against DialogControls so they run in native tests;
// the Windows dialog procedure only forwards to them.
class ControlPanel;
class DialogControls;
struct GameProfile;

// Dialog 184 and its controls.
#define IDD_GAME_PROFILE 184
#define IDC_PROFILE_NAME 1206
#define IDC_PROCESS_NAME 1207

// Each field is read up to 127 characters (and cut to 63 when stored).
constexpr int kProfileFieldChars = 128;

// For a profile: its name (disabled, it cannot change) and its process name.
// Empty (profile null): both fields empty.
void InitProfileDialog(DialogControls& dialog, const GameProfile* profile);
// OK: reads both fields, updates or creates the profile, selects it and ends
// the dialog. A new name that exists already asks first; on No the dialog ends
// with nothing changed.
void ConfirmProfileDialog(ControlPanel& panel, DialogControls& dialog, GameProfile* profile);

// Main page buttons 2078, 2081 and 2080; page owns the message boxes.
void NewProfileCommand(ControlPanel& panel, DialogControls& page);
void EditProfileCommand(ControlPanel& panel, DialogControls& page);
void RemoveProfileCommand(ControlPanel& panel, DialogControls& page);
