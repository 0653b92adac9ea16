#pragma once
// The single application object. Each subsystem owns one section below and its
// own methods; keep additions inside your section so the sections stay readable.
#include <cstdint>

#include "profiles/game_detection.h"
#include "profiles/game_profiles.h"
#include "exec/deadline.h"
#include "wheel/serial_channel.h"
#include "wheel/wheel_parameter.h"

struct ScriptDocument;

// Instance GUID of the chosen game controller, in the platform's field layout.
struct DeviceGuid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};

class ControlPanel {
 public:
  // ---- settings (config.ini)
  static constexpr uint32_t kFlagAutoUpdate = 0x1;
  static constexpr uint32_t kFlagDetectGame = 0x2;
  uint32_t flags = 0;
  int32_t windowDuration = 10;
  uint8_t wheelPort = 0;
  uint8_t smPort = 0;
  uint32_t resetDelay = 2000;
  int32_t torqueBandwidth = 0;
  int32_t gameProfileId = 0;
  DeviceGuid usedDeviceGuid{};
  void LoadSettings();  // reads config.ini when it exists; defaults stay otherwise
  void SaveSettings();  // writes section "Config", keeps the rest of the file

  // ---- windows and application state
  void* instance = nullptr;
  void* frameWindow = nullptr;
  void* mainPage = nullptr;
  void* strip = nullptr;
  bool statusHold = true;  // set until the pages exist and around every command

  // ---- wheel link
  // Link states, in the order the status line's texts are kept (LinkStateText).
  static constexpr uint8_t kDisconnected = 0;
  static constexpr uint8_t kConnected = 1;    // a port was opened for a probe
  static constexpr uint8_t kWheelFound = 2;   // the board answered the probe
  static constexpr uint8_t kWheelReady = 3;   // status 8
  static constexpr uint8_t kWheelError = 4;   // status 7
  SerialChannel wheelChannel;
  SerialChannel* channel = &wheelChannel;      // tests put a fake here
  LinkClock* linkClock = &SystemLinkClock();   // tests put a stepped clock here
  uint8_t linkState = kDisconnected;
  bool linkBusy = false;       // set while a status refresh talks to the board
  bool updateStarted = false;  // the automatic update check has been started
  uint32_t firmwareVersion = 0;  // low byte minor, next byte major; 0 = not read yet
  WheelParameterTable wheel;     // parameter entries, mapping bytes, analog settings
  DialogControls* mainPageControls = nullptr;  // status line, gain, version; null = no page
  // Set by the application: whether the frame is hidden to the tray (no "S"
  // polling then), and the start of the automatic update check.
  bool (*frameHiddenToTray)() = nullptr;
  void (*startAutoUpdateCheck)(ControlPanel& panel) = nullptr;

  int ProbeWheel(uint32_t port);                 // 1 when the board answered on port
  int ChooseWheelPort(uint8_t port);             // a new choice in the port list
  int ReadReply(uint32_t* destination, uint32_t count);  // 1 when all bytes came
  // The value, sign-extended; a reply that does not come leaves *value as it was.
  bool ReadParameter(uint8_t number, uint8_t sizeIndex, int32_t* value);
  int32_t ReadParameter(uint8_t number, uint8_t sizeIndex);  // 0 when no reply
  void RefreshParameter(WheelParameter& entry);
  void WriteParameter(WheelParameter& entry);
  void WriteParameterRaw(uint8_t number, uint8_t count, int32_t value);
  void ReadAllParameters();
  void WriteProfileParameters();
  void RestoreBoardDefault();
  void ReadBoardReport();   // one "#" report per tick while the debug level is above 0
  void RefreshStatus();
  int WaitNotBusy();
  void StartCalibration();
  void CentreWheel();

 private:
  bool AwaitInput(uint64_t budgetUs);
  void DiscardStaleInput();
  void NoteLinkLost(const char* operation);
  void ReadBulkSettings();
  void SetMainText(int id, const char* text);

 public:

  // ---- profiles
  // The profile list and the item selected in combo box 1207 (-1 until the list
  // is filled, and while it is empty). The user's choices in the combo box come
  // back through SelectProfile, so the two never differ for long; the index is
  // mirrored into gameProfileId for config.ini.
  ProfileList profiles;
  int profileItem = -1;
  // Game detection's process snapshot; null = the running system's.
  ProcessWalker walkProcesses = nullptr;
  // Runs the modal "Game Profile" dialog over the page, for a profile or empty
  // (null); set by the Windows side, tests put a stand-in here.
  void (*runProfileDialog)(ControlPanel& panel, DialogControls& page, GameProfile* profile) = nullptr;
  void LoadProfiles();   // GameProfiles.ini, when it exists
  void SaveProfiles();   // every profile, in list order
  void FreeProfiles();
  // Null when a profile of that name exists (ASCII case-insensitive) or memory ran out.
  GameProfile* CreateProfile(const char* name, const char* processName);
  void StoreIntoProfile(GameProfile* profile);
  void ApplyProfile(const GameProfile* profile);
  void FillProfileList();
  void SelectProfile(int index);
  void RemoveProfile(int index);
  GameProfile* CurrentProfile() const;
  void DetectGame();
};

// The program's one instance.
ControlPanel& Panel();
