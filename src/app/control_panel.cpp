#include "app/control_panel.h"

ControlPanel::ControlPanel() {
  link.view = &mainPageView;
  profiles.view = &mainPageView;
  input.view = &inputView;
  link.onBoardRead = [](void* context) { static_cast<GameProfiles*>(context)->BoardConnected(); };
  link.onBoardReadContext = &profiles;
  updater.view = &updateView;
}

void ControlPanel::LoadSettings() {
  LoadSettingsFrom(settings, kSettingsFile);
  link.wheelPort = settings.wheelPort;
  link[kEntryStatisticsWindow].value = settings.windowDuration;
  link[kEntryTorqueBandwidth].value = settings.torqueBandwidth;
  profiles.gameProfileId = settings.gameProfileId;
  input.table.usedDevice = settings.usedDeviceGuid;
  // What was read is on disk; the profiles are read next, unchanged so far.
  settingsWrite.Written(SettingsFingerprint(settings));
  profilesWrite.Written(profiles.changes);
}

Settings ControlPanel::CurrentSettings() const {
  Settings now = settings;
  now.wheelPort = link.wheelPort;
  now.windowDuration = link.parameters[kEntryStatisticsWindow].value;
  now.torqueBandwidth = link.parameters[kEntryTorqueBandwidth].value;
  now.gameProfileId = profiles.gameProfileId;
  now.usedDeviceGuid = input.table.usedDevice;
  return now;
}

bool ControlPanel::SaveSettings() {
  settings = CurrentSettings();
  return SaveSettingsTo(settings, kSettingsFile);
}

void ControlPanel::SaveChanges(uint64_t now) {
  // The "leave the file alone" rule holds here too (and without a log line
  // every few seconds: the exit's save logs it once).
  if (!settings.leaveFileAlone && settingsWrite.Due(SettingsFingerprint(CurrentSettings()), now)) {
    settingsWrite.Done(SaveSettings(), now);
    return;
  }
  if (!profiles.leaveFileAlone && profilesWrite.Due(profiles.changes, now)) {
    profilesWrite.Done(SaveProfilesTo(profiles, kProfilesFile), now);
  }
}

void ControlPanel::SaveForExit() {
  SaveSettings();
  // The selected profile follows the sliders already; this also catches what
  // changed without a slider (but not the defaults of a reset: those are the
  // board's, not the profile's).
  profiles.StoreIntoSelected();
  profiles.SaveProfiles();
}

void ControlPanel::RefreshStatus() {
  if (link.statusHold) return;
  link.RefreshStatus();
  updater.OfferRestore();
  if ((settings.flags & Settings::kFlagAutoUpdate) && !updateStarted) {
    updateStarted = true;
    if (startAutoUpdateCheck) startAutoUpdateCheck(*this);
  }
}

void ControlPanel::DetectGame() {
  if (settings.flags & Settings::kFlagDetectGame) profiles.DetectGame();
}

ControlPanel& Panel() {
  static ControlPanel panel;
  return panel;
}
