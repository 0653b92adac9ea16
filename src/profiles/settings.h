#pragma once
// config.ini: the program's own settings in section "Config", read once at
// start-up and written once at exit (ControlPanel::LoadSettings/SaveSettings).
#include "script/script.h"

class ControlPanel;

// The key table of section "Config", in file order.
extern const ScriptKey kConfigKeys[];

// The same as LoadSettings/SaveSettings for a document of another name (tests,
// tools). Load is true when the file was there and read; Save when it was written.
bool LoadSettingsFrom(ControlPanel& panel, const char* name);
bool SaveSettingsTo(const ControlPanel& panel, const char* name);
