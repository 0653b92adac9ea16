#pragma once
// Building the pages inside the frame window on Windows.
#include <windows.h>

// Creates the main page (and the strip in developer mode) inside the frame,
// binds them to the ControlPanel, hooks the wheel link's tick duties, sizes,
// titles and shows the frame. False when the main page could not be made.
// showFrame false keeps the frame hidden ("-tray").
bool BuildPageWindows(HWND frame, bool showFrame = true);
