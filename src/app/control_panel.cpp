#include "app/control_panel.h"

#include "drive/advanced_settings.h"

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
}

bool ControlPanel::SaveSettings() {
  settings.wheelPort = link.wheelPort;
  settings.windowDuration = link[kEntryStatisticsWindow].value;
  settings.torqueBandwidth = link[kEntryTorqueBandwidth].value;
  settings.gameProfileId = profiles.gameProfileId;
  settings.usedDeviceGuid = input.table.usedDevice;
  return SaveSettingsTo(settings, kSettingsFile);
}

void ControlPanel::SaveForExit() {
  if (openAdvancedSettings != nullptr) openAdvancedSettings->TakeBack();
  SaveSettings();
  // The selected profile follows the sliders already; this also catches what
  // changed without a slider.
  profiles.StoreIntoProfile(profiles.CurrentProfile());
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
