#pragma once
// The "Live Forces" window on Win32 (modeless): its handle for the message
// loop's dialog keys, and the close at program exit.
#include <windows.h>

HWND LiveForcesWindowHandle();
void CloseLiveForcesWindow();
