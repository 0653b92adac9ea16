#pragma once
// The single application object: the parts each subsystem owns, composed, the
// program's start and stop in their order, and the few operations that span
// the parts. A part's own operations are called on the part
// (panel.link.ProbeWheel, panel.profiles.ApplyProfile).
#include <cstddef>
#include <cstdint>

#include "app/deferred_save.h"
#include "app/input_view.h"
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

class PageWindows;
class SystemTray;

// What only the platform can give the start, each asked for in its place.
class ProgramHost {
 public:
  virtual ~ProgramHost() = default;
  void* instance = nullptr;                    // the program's module
  GamingInputBackend* inputBackend = nullptr;  // null: no controller input
  void (*quit)() = nullptr;                    // posts the quit message
  const char* startProfile = nullptr;          // "-profile NAME": the profile the list starts with

  // The folder the runtime takes for its base and its log.
  virtual void WorkingDirectory(char* out, size_t size) = 0;
  // The log exists now: what the start had to keep until then goes into it.
  virtual void RuntimeStarted() {}
  // The frame window, whose initialisation starts the controller input and
  // the tick's timer; null when it could not be made.
  virtual void* CreateFrame() = 0;
  // False when that initialisation could not start the controller input
  // (its error box has been answered).
  virtual bool InputStarted() = 0;
  // The page dialogs inside the frame.
  virtual PageWindows& Pages() = 0;
};

class AdvancedSettings;

class ControlPanel {
 public:
  ControlPanel();
  ControlPanel(const ControlPanel&) = delete;
  ControlPanel& operator=(const ControlPanel&) = delete;

  // ---- windows
  void* instance = nullptr;
  void* frameWindow = nullptr;  // known once the pages are built
  void* mainPage = nullptr;
  void* strip = nullptr;
  uint32_t hiddenToTray = 0;    // 1 while the frame is minimised into the notification area
  SystemTray* tray = nullptr;   // the icon there; exists only while hidden to the tray

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

  // The "Advanced Settings" dialog while it is open: an exit then (the
  // session ending) counts as its "Cancel".
  AdvancedSettings* openAdvancedSettings = nullptr;

  // ---- updates and firmware: the update check, port discovery, flashing
  Updater updater{link, settings};
  UpdatePageView updateView;  // its boxes belong to the main page

  // The start, in order: the status hold until the pages exist, the runtime,
  // config.ini and GameProfiles.ini (both skipped without the runtime), the
  // drive in developer mode, the tick's duties (on Panel()), the frame window
  // and the pages in it. False when the program cannot run: no frame, or no
  // controller input. Stop follows either way.
  bool Start(ProgramHost& host);
  // The shutdown, in order: SaveForExit (only once a frame was made), the
  // controllers, the profile list, the runtime with its leak report, the
  // board's port.
  void Stop();

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

 private:
  bool saveAtStop_ = false;  // a frame was made: the exit writes the files back
};

// The program's one instance.
ControlPanel& Panel();
