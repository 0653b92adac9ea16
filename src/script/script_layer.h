#pragma once
// The Script documents and the languages start and stop with the runtime: the
// "Scripts" resource handler, the language registry and the runtime's unit
// tables. Install once before InitExec.
void InstallScriptLayer();
