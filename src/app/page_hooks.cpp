// Entry points of the subsystems the pages call. Each one that is still
// missing says so once in the log; the subsystem replaces the body here with
// the call of its own operation.
#include "app/page_hooks.h"

#include "exec/log.h"

namespace {

void NotAvailable(bool* said, const char* operation) {
  if (*said) return;
  *said = true;
  LogPrintf(0, "%s: not available", operation);
}

}  // namespace

uint8_t DiscoverComPort(uint16_t, uint16_t) {
  static bool said = false;
  NotAvailable(&said, "FindComPortFromIds");
  return 0;
}

void ConnectDrive(ControlPanel&) {
  static bool said = false;
  NotAvailable(&said, "ConfigureDrive");
}

void SendTorqueBandwidthToDrive(ControlPanel&, int32_t) {
  static bool said = false;
  NotAvailable(&said, "SmSetParameter");
}

void ResetMaxCurrentCommand(ControlPanel&) {
  static bool said = false;
  NotAvailable(&said, "ResetMaxCurrent");
}

void ResetBoardCommand(ControlPanel&) {
  static bool said = false;
  NotAvailable(&said, "ResetBoard");
}

void RestartDriveCommand(ControlPanel&) {
  static bool said = false;
  NotAvailable(&said, "RestartDrive");
}

void ClearDriveFaultsCommand(ControlPanel&) {
  static bool said = false;
  NotAvailable(&said, "ClearFaults");
}

void FillGamingDeviceList(ControlPanel&, DialogControls&) {
  static bool said = false;
  NotAvailable(&said, "ActivateGamingDevice");
}

void GamingDeviceChosen(ControlPanel&, DialogControls&) {
  static bool said = false;
  NotAvailable(&said, "ActivateGamingDevice");
}

void EnableInputObjectControls(ControlPanel&) {
  static bool said = false;
  NotAvailable(&said, "UpdateInputObjectControls");
}

void FillProfiles(ControlPanel&, DialogControls&) {
  static bool said = false;
  NotAvailable(&said, "FillProfileList");
}

void ProfileChosen(ControlPanel&, DialogControls&) {
  static bool said = false;
  NotAvailable(&said, "SelectProfile");
}

void StoreIntoSelectedProfile(ControlPanel&) {
  static bool said = false;
  NotAvailable(&said, "StoreIntoProfile");
}

void CheckForUpdatesCommand(ControlPanel&, DialogControls&) {
  static bool said = false;
  NotAvailable(&said, "CheckForUpdates");
}

void OpenAdvancedSettings(ControlPanel&, DialogControls&) {
  static bool said = false;
  NotAvailable(&said, "AdvancedSettings");
}
