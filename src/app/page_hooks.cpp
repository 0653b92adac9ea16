// Entry points of the subsystems the pages call. Each one that is still
// missing says so once in the log; the subsystem replaces the body here with
// the call of its own operation.
#include "app/page_hooks.h"

#include "app/control_panel.h"
#include "ui/dialog_controls.h"
#include "app/page_ids.h"
#include "exec/log.h"
#include "profiles/game_profiles.h"

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

void FillProfiles(ControlPanel& panel, DialogControls&) { panel.FillProfileList(); }

void ProfileChosen(ControlPanel& panel, DialogControls& page) {
  const int index = page.ComboSelection(IDC_PROFILE_LIST);
  if (index >= 0) panel.SelectProfile(index);
}

void StoreIntoSelectedProfile(ControlPanel& panel) {
  if (GameProfile* profile = panel.CurrentProfile()) panel.StoreIntoProfile(profile);
}

void CheckForUpdatesCommand(ControlPanel&, DialogControls&) {
  static bool said = false;
  NotAvailable(&said, "CheckForUpdates");
}

void OpenAdvancedSettings(ControlPanel&, DialogControls&) {
  static bool said = false;
  NotAvailable(&said, "AdvancedSettings");
}
