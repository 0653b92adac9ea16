// Entry points of the subsystems the pages call that are not in the program
// yet. Each says so once in the log.
#include "app/page_hooks.h"

#include "exec/log.h"

namespace {

enum Missing { kPortDiscovery, kResetBoard, kUpdateCheck,
               kAdvancedSettings, kMissingCount };

void NotAvailable(Missing what, const char* operation) {
  static bool said[kMissingCount];
  if (said[what]) return;
  said[what] = true;
  LogPrintf(0, "%s: not available", operation);
}

}  // namespace

uint8_t DiscoverComPort(uint16_t, uint16_t) {
  NotAvailable(kPortDiscovery, "FindComPortFromIds");
  return 0;
}

void ResetBoardCommand(ControlPanel&) { NotAvailable(kResetBoard, "ResetBoard"); }
void CheckForUpdatesCommand(ControlPanel&, DialogControls&) { NotAvailable(kUpdateCheck, "CheckForUpdates"); }
void OpenAdvancedSettings(ControlPanel&, DialogControls&) { NotAvailable(kAdvancedSettings, "AdvancedSettings"); }
