// Entry points of the subsystems the pages call that are not in the program
// yet. Each says so once in the log.
#include "app/page_hooks.h"

#include "exec/log.h"

namespace {

enum Missing { kPortDiscovery, kDrive, kTorqueBandwidth, kResetMax, kResetBoard, kRestartDrive,
               kClearFaults, kGamingDevice, kInputObjects, kUpdateCheck, kAdvancedSettings,
               kMissingCount };

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

void ConnectDrive(ControlPanel&) { NotAvailable(kDrive, "ConfigureDrive"); }
void SendTorqueBandwidthToDrive(ControlPanel&, int32_t) { NotAvailable(kTorqueBandwidth, "SmSetParameter"); }
void ResetMaxCurrentCommand(ControlPanel&) { NotAvailable(kResetMax, "ResetMaxCurrent"); }
void ResetBoardCommand(ControlPanel&) { NotAvailable(kResetBoard, "ResetBoard"); }
void RestartDriveCommand(ControlPanel&) { NotAvailable(kRestartDrive, "RestartDrive"); }
void ClearDriveFaultsCommand(ControlPanel&) { NotAvailable(kClearFaults, "ClearFaults"); }
void FillGamingDeviceList(ControlPanel&, DialogControls&) { NotAvailable(kGamingDevice, "ActivateGamingDevice"); }
void GamingDeviceChosen(ControlPanel&, DialogControls&) { NotAvailable(kGamingDevice, "ActivateGamingDevice"); }
void EnableInputObjectControls(ControlPanel&) { NotAvailable(kInputObjects, "UpdateInputObjectControls"); }
void CheckForUpdatesCommand(ControlPanel&, DialogControls&) { NotAvailable(kUpdateCheck, "CheckForUpdates"); }
void OpenAdvancedSettings(ControlPanel&, DialogControls&) { NotAvailable(kAdvancedSettings, "AdvancedSettings"); }
