#pragma once
// Windows side of DesktopServices (file_commands.h): the standard file
// dialogs and the user's start-up entry (HKCU Run, no administrator rights).
void InstallDesktopServices();
