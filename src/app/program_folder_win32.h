#pragma once
// Windows side of program_folder.h.
#include <windows.h>

// Makes the folder of Tillerset.exe the working folder; returns 0, or the
// system's error code when that failed and the program goes on in the folder
// it was started in. Runs before the log exists, so the caller reports it.
DWORD UseProgramFolder();
