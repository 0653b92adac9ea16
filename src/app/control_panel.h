#pragma once
// The single application object. Each subsystem owns one section below and its
// own methods; keep additions inside your section so the sections stay readable.
#include <cstdint>

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

  // ---- profiles
};

// The program's one instance.
ControlPanel& Panel();
