#pragma once
// Building the pages inside the frame window on Windows.
#include <windows.h>

class PageWindows;

// The page dialogs inside the frame, for BuildPages (the common controls the
// pages hold are registered first). showFrame false leaves the frame hidden
// ("-tray").
PageWindows& FramePageWindows(HWND frame, bool showFrame = true);
