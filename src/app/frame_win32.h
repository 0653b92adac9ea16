#pragma once
// The frame window (dialog 166) and its place in the notification area; the
// ControlPanel holds the frame, the instance and the tray state.
#include <windows.h>

class ControlPanel;

// The registered "Server tray notification" message the tray icon sends.
UINT TrayCallbackMessage();

// True when the frame's initialisation could not start DirectInput (the
// error box has been shown): the program shuts down with exit code 0.
bool GamingInputStartFailed();

// Class procedure of the registered frame window class: quits on WM_DESTROY.
LRESULT CALLBACK FrameClassProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK FrameDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
INT_PTR CALLBACK AboutDialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

// The property that marks the frame window, so that a second start finds the
// running copy among the top-level windows (its class is the dialogs' own).
constexpr wchar_t kFrameProperty[] = L"TillersetFrame";

// "-tray": the frame hidden in the notification area; shown normally when
// the notification area takes no icon.
void StartHiddenInTray();
// A profile named from outside ("-profile" of this start or a second one),
// chosen once the frame's message loop runs.
void PostProfileChoice(HWND frame, const char* name);

// Shows or removes the notification-area icon after hiddenToTray changed.
void UpdateTrayState(ControlPanel& panel);
// Shows the frame window normally when hiddenToTray is 0, hides it when 1.
// Does nothing before the pages are built (frameWindow still null).
void ShowFrameForTrayState(ControlPanel& panel);
