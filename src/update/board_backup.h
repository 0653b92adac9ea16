#pragma once
// The board's settings around a firmware update: every parameter the bulk
// read reads (the page's settings, the advanced settings' mapping, analog
// settings and curves, the external-gain input), saved to a file beside
// config.ini before the board is reset, and written back afterwards when the
// user wants them, then read back to see that they stuck.
#include <cstdint>

#include "wheel/wheel_link.h"

constexpr char kBoardBackupFile[] = "BoardBackup.ini";
constexpr char kBoardBackupSection[] = "Board";
constexpr char kRestoreQuestion[] =
    "The firmware was updated. Do you want to put your previous wheel settings back ?";
// After a No: a backup kept is offered again after the next update (and no
// later flash overwrites it); one not kept is deleted.
constexpr char kKeepBackupQuestion[] =
    "Keep your previous wheel settings saved, to be offered again after the next firmware update ?";
constexpr char kRestoreFailedFormat[] = "Some wheel settings could not be put back. They stay saved in %s";
constexpr int kBoardSettingCount = 69;
constexpr uint8_t kDebugLevelParameter = 16;

struct BoardSetting {
  uint8_t number;
  uint8_t bytes;  // on the wire
  int32_t value;
};

struct BoardSettings {
  BoardSetting items[kBoardSettingCount];
  int count = 0;
  uint32_t firmwareVersion = 0;  // of the board they were read from
  // The setting of this parameter; null when it is not one of them.
  const BoardSetting* Find(uint8_t number) const;
};

// The settings as the link mirrors them, in bulk-read order.
void CaptureBoardSettings(const WheelParameterTable& table, uint32_t firmwareVersion, BoardSettings* out);
// Section "Board": FIRMWARE=<version>, then one PARAM=<number>,<value> line each.
bool SaveBoardSettingsFile(const char* file, const BoardSettings& settings);
// Only parameters of the bulk read are taken (each with its own size); false
// when the file is missing or holds none of them.
bool LoadBoardSettingsFile(const char* file, BoardSettings* out);
// Writes them to the board (the debug level last, so that its reports cannot
// mix with the read-back), reads the board back and returns how many
// settings did not stick (all of them when the board stopped answering).
int WriteBoardSettings(WheelLink& link, const BoardSettings& settings);
// The same in steps that each hold the window briefly: count settings from
// index from (the debug level left for the end); returns the next index.
int WriteBoardSettingsFrom(WheelLink& link, const BoardSettings& settings, int from, int count);
// The read-back and the debug level; how many settings did not stick.
int FinishBoardSettings(WheelLink& link, const BoardSettings& settings);
