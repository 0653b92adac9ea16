#pragma once
// Start-up options of the program: "noxinput" (leave XInput controllers out of
// the gaming-device table) and "dev" (developer mode), each prefixed "/" or "-".
#include <cstddef>

struct StartupOptions {
  bool xinputFilter = false;
  bool developerMode = false;
};

// Reads the options from a split command line; argv[0] is the program name and
// is skipped. Unknown arguments are ignored.
StartupOptions ParseStartupOptions(int argc, const wchar_t* const* argv);

// The program-wide flags, set once at start-up and read by the subsystems.
void SetStartupOptions(const StartupOptions& options);
bool DeveloperMode();
bool XInputFilter();
