// Entry points of the subsystems the pages call that are not in the program
// yet. Each says so once in the log.
#include "app/page_hooks.h"

#include "exec/log.h"

namespace {

enum Missing { kGamingDevice, kInputObjects, kMissingCount };

void NotAvailable(Missing what, const char* operation) {
  static bool said[kMissingCount];
  if (said[what]) return;
  said[what] = true;
  LogPrintf(0, "%s: not available", operation);
}

}  // namespace

void FillGamingDeviceList(ControlPanel&, DialogControls&) { NotAvailable(kGamingDevice, "ActivateGamingDevice"); }
void GamingDeviceChosen(ControlPanel&, DialogControls&) { NotAvailable(kGamingDevice, "ActivateGamingDevice"); }
void EnableInputObjectControls(ControlPanel&) { NotAvailable(kInputObjects, "UpdateInputObjectControls"); }
