#pragma once
// The shell's "open" verb on an address (the tool download): no parameters,
// no folder, hidden show state. False when the shell refused it.
// shell_open_win32.cpp (ShellExecute); natively there is no shell to ask.
bool OpenWithShell(const char* url);
