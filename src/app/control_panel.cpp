#include "app/control_panel.h"

#include "app/app_tick.h"
#include "app/options.h"
#include "app/pages.h"
#include "app/startup_config.h"
#include "exec/execlib.h"
#include "exec/log.h"
#include "exec/memory.h"
#include "script/script_layer.h"

namespace {

// The tick's duties; the tick runs on the program's one panel.
void InstallTickDuties(TickHooks& hooks) {
  hooks.flashStep = [] { return Panel().updater.Tick(); };
  hooks.statusRefresh = [] { Panel().RefreshStatus(); };
  hooks.currentReadout = [] { Panel().drive.UpdateDriveCurrent(); };
  hooks.updateCheck = [] { Panel().updater.PollCheck(); };
  // Game detection looks only at processes, so it runs from the first tick on.
  hooks.gameDetection = [] { Panel().DetectGame(); };
  hooks.handshake = [] { Panel().link.ContinueProbe(); };
  hooks.saveChanges = [](uint64_t now) { Panel().SaveChanges(now); };
  hooks.boardReport = [] { Panel().link.ReadBoardReports(); };
  hooks.liveForces = [] { Panel().liveForces.Tick(); };
  hooks.readGamingInput = [] {
    GamingInput& input = Panel().input;
    input.RescanIfDue();
    return input.ReadGamingInput();
  };
}

bool StartRuntime(ProgramHost& host) {
  char workingDirectory[512] = "";
  host.WorkingDirectory(workingDirectory, sizeof workingDirectory);
  ExecConfig config;
  FillAppExecConfig(&config, workingDirectory, host.instance);
  gMemBreakAtNumber = 0xFFFFFFFF;
  gMemBreakAtAddress = ~uintptr_t(0);
  InstallScriptLayer();
  if (!InitExec(&config)) return false;
  if (DeveloperMode()) LogPrintf(0, "developer mode on");
  if (XInputFilter()) LogPrintf(0, "XInput filter on");
  host.RuntimeStarted();
  return true;
}

}  // namespace
#include "drive/advanced_settings.h"

ControlPanel::ControlPanel() {
  link.view = &mainPageView;
  profiles.view = &mainPageView;
  input.view = &inputView;
  link.onBoardRead = [](void* context) { static_cast<GameProfiles*>(context)->BoardConnected(); };
  link.onBoardReadContext = &profiles;
  updater.view = &updateView;
}

bool ControlPanel::Start(ProgramHost& host) {
  // No status refresh before the pages exist.
  StatusHold startup(link);
  instance = host.instance;
  if (StartRuntime(host)) {
    LoadSettings();
    profiles.LoadProfiles();
    if (host.startProfile != nullptr && host.startProfile[0] != 0) {
      if (GameProfile* chosen = profiles.list.Find(host.startProfile)) {
        profiles.gameProfileId = profiles.list.IndexOf(chosen);
        LogPrintf(0, "Start: profile \"%s\" chosen on the command line", chosen->name);
      }
    }
  }
  // Nothing of the drive opens, runs or logs outside developer mode.
  if (DeveloperMode()) drive.SwitchOn();
  // Once per run from the status refresh, fetched off this thread; a "Yes"
  // to a new tool ends the program the normal way.
  startAutoUpdateCheck = [](ControlPanel& panel) { panel.updater.StartCheck(true); };
  updateView.quit = host.quit;
  InstallTickDuties(ApplicationTickHooks());
  input.backend = host.inputBackend;
  input.xinputFilter = XInputFilter();

  void* frame = host.CreateFrame();
  if (frame == nullptr) return false;
  saveAtStop_ = true;
  if (!host.InputStarted()) {
    // Nothing of the board was read, so no profile takes page values.
    LogPrintf(0, "Start: DirectInput could not be started, ending");
    return false;
  }
  BuildPages(*this, host.Pages());
  frameWindow = frame;
  // A board left in its bootloader by an interrupted flash is offered
  // firmware from the start.
  updater.LookForStrandedBoard(false);
  return true;
}

void ControlPanel::Stop() {
  // A check still fetching is let go before the parts it reports to.
  updater.EndCheck();
  if (saveAtStop_) SaveForExit();
  // While the port device is certain to exist (the panel is a static older
  // than it).
  drive.Close();
  // What lives in the runtime's pools goes before the runtime: left over it
  // would count as leaked in the leak report.
  input.Shutdown();
  profiles.FreeProfiles();
  if (ExecStarted()) ExecRemove();
  link.channel->Close();
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
  if (openAdvancedSettings != nullptr) openAdvancedSettings->TakeBack();
  SaveSettings();
  // A board being read, or read in the last tick, has its say first: the
  // page shows the board's values until then, which the selected profile
  // must not take.
  link.SettleBoardRead();
  // The selected profile follows the sliders already; this also catches what
  // changed without a slider (but not the defaults of a reset: those are the
  // board's, not the profile's).
  profiles.StoreIntoSelected();
  profiles.SaveProfiles();
}

void ControlPanel::RefreshStatus() {
  if (link.statusHold) return;
  // While a handshake (the start's) is still out, the board's firmware is
  // not known yet: the automatic check would offer firmware the board may
  // already have. It waits for a refresh after the handshake has settled,
  // which has asked the board's version by then.
  const bool handshakeSettled = !link.ProbePending();
  link.RefreshStatus();
  updater.OfferRestore();
  if (handshakeSettled && (settings.flags & Settings::kFlagAutoUpdate) && !updateStarted) {
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
