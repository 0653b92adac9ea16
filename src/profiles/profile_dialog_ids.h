#pragma once
// The "Game Profile" dialog (184) and its controls. Included by
// profile_dialog.rc (windres) and by the dialog code, so plain #defines only.
#define IDD_GAME_PROFILE 184
#define IDC_PROFILE_NAME 1206
#define IDC_PROCESS_NAME 1207
#define IDC_BROWSE_PROGRAM 1208
#define IDC_RUNNING_PROGRAMS 1209
