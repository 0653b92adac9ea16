// Without windows there is no Live Forces window to open; the session
// itself (live_forces.cpp) runs in tests with a window of their own.
#include "app/live_forces.h"

void OpenLiveForcesWindow(ControlPanel&, void*) {}
