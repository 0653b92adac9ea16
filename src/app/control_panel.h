#pragma once
// The single application object: the parts each subsystem owns, composed, and
// the few operations that span them. A part's own operations are called on
// the part (panel.link.ProbeWheel, panel.profiles.ApplyProfile).
#include <cstdint>

#include "app/deferred_save.h"
#include "app/input_view.h"
#include "app/live_forces.h"
#include "app/page_view.h"
#include "app/parameter_binding.h"
#include "app/strip_view.h"
#include "app/update_page_view.h"
#include "drive/drive_link.h"
#include "input/gaming_input.h"
#include "profiles/game_profiles.h"
#include "profiles/settings.h"
#include "update/updater.h"
#include "wheel/wheel_link.h"

class ControlPanel {
 public:
  ControlPanel();
  ControlPanel(const ControlPanel&) = delete;
  ControlPanel& operator=(const ControlPanel&) = delete;

  // ---- windows
  void* instance = nullptr;
  void* frameWindow = nullptr;
  void* mainPage = nullptr;
  void* strip = nullptr;

  // ---- the parts
  Settings settings;             // config.ini, as read; flags live here while running
  WheelLink link;                // board link: channel, clock, parameter table, status
  GameProfiles profiles{link};   // game profiles and detection
  bool updateStarted = false;    // the automatic update check has been started
  GamingInput input{link[kEntryMaxAngle].value};  // game controller: table, readout, picture

  // ---- the pages' side of the parts
  ParameterBindings bindings{link.parameters};  // the controls each parameter shows in
  MainPageView mainPageView{bindings};          // what the link and the profiles show
  StripView stripView{bindings};                // what the drive shows (developer mode)
  InputView inputView;                          // list 1042, "Wheel State", the picture

  // ---- the servo drive (developer mode only; inert until switched on)
  DriveLink drive{link[kEntryTorqueBandwidth], link[kEntryStatisticsWindow], stripView};

  // ---- updates and firmware: the update check, port discovery, flashing
  Updater updater{link, settings};
  UpdatePageView updateView;  // its boxes belong to the main page

  // ---- the "Live Forces" window's session (inert while the window is closed)
  LiveForces liveForces{*this};

  // config.ini: read hands each value to its part; save takes them back (false
  // when the file could not be written; the old one then stays).
  void LoadSettings();
  bool SaveSettings();
  // The settings as the parts hold them now (what SaveSettings writes).
  Settings CurrentSettings() const;
  // Called every tick: writes config.ini or GameProfiles.ini (at most one per
  // tick) once what it holds has changed and then stayed for a short while
  // (deferred_save.h). A file that could not be read at start is left alone.
  void SaveChanges(uint64_t now);
  DeferredWrite settingsWrite;
  DeferredWrite profilesWrite;
  // What the exit writes back: config.ini, the page's values into the
  // selected profile, GameProfiles.ini. Also when Windows ends the session,
  // which may end the program before its exit runs.
  void SaveForExit();
  // The once-a-second status refresh of the link, the question whether to put
  // the board's settings back once it answers after a firmware update, then,
  // once per run, the automatic update check.
  void RefreshStatus();
  // Game detection, while "Detect Game" is on.
  void DetectGame();
  // Set by the application: the start of the automatic update check.
  void (*startAutoUpdateCheck)(ControlPanel& panel) = nullptr;
};

// The program's one instance.
ControlPanel& Panel();
