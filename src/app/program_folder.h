#pragma once
// The program works in its own folder: config.ini, GameProfiles.ini, Log.txt,
// System\ and Tools\ are all opened relative to the working folder, so the
// program makes its own folder the working folder at start, whether it was
// started from a shortcut, by a double-click or from a prompt elsewhere.
#include <cstddef>

// Length of the folder part of a program path, its last "\" or "/" included
// ("C:\Games\Tillerset\Tillerset.exe" -> 19); 0 when the path names no folder.
size_t ProgramFolderLength(const wchar_t* programPath);
