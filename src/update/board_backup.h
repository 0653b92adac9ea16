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
// Section "Board": FIRMWARE=<version>, DATE=<when> (when given), then one
// PARAM=<number>,<value> line each. The backup beside config.ini and the
// files the user saves ("Save Board...") are the same document; a user's file
// (UTF-8 path) is written whole, replacing what the file held.
bool SaveBoardSettingsFile(const char* file, const BoardSettings& settings, const char* date = nullptr);
bool SaveBoardSettingsUserFile(const char* utf8Path, const BoardSettings& settings, const char* date);
// Only parameters of the bulk read are taken (each with its own size); false
// when the file is missing or holds none of them.
bool LoadBoardSettingsFile(const char* file, BoardSettings* out);

// What reading a user's file found besides the settings it holds.
constexpr int kSkippedListed = 16;
constexpr size_t kBoardFileMax = 1u << 20;
enum class BoardFileRead { kRead, kUnreadable, kNotBoardSettings, kDamaged };
struct BoardFileCheck {
  int skipped = 0;                      // PARAM lines of parameters this board has not
  uint8_t skippedNumbers[kSkippedListed];  // the first of them
  char problem[96] = "";                // for a damaged file: which value
};
// Reads a user's file: a value outside what its parameter can hold makes
// the file damaged (nothing of it is used).
BoardFileRead LoadBoardSettingsUserFile(const char* utf8Path, BoardSettings* out, BoardFileCheck* check);
// How many settings of file differ from now (settings now lacks count too).
int CountDifferences(const BoardSettings& now, const BoardSettings& file);
// The setting's name for messages ("Max Angle", "Mapping 5", ...).
void BoardSettingName(uint8_t number, char* out, size_t size);

struct BoardWriteResult {
  int written = 0;      // settings sent before the end or the board's loss
  int missed = 0;       // written but read back otherwise
  uint8_t missedNumbers[kBoardSettingCount];
  bool boardGone = false;  // a write failed: the rest were not sent
};
// The settings as a load writes them: those of a profile write first, in its
// order, then the others, the debug level last (so that its reports cannot
// mix with the read-back). Both loaders put what they read in this order.
void PutInWritingOrder(BoardSettings* settings);
// Writes them to the board in their order, reads the board back and returns
// how many settings did not stick (all of them when the board stopped
// answering). A write that does not go out stops the writing: the rest stay
// unwritten.
int WriteBoardSettings(WheelLink& link, const BoardSettings& settings, BoardWriteResult* result = nullptr);
// The same in steps that each hold the window briefly: count settings from
// index from (the debug level left for the end); returns the next index.
int WriteBoardSettingsFrom(WheelLink& link, const BoardSettings& settings, int from, int count);
// The read-back and the debug level; how many settings did not stick (named
// in result when given).
int FinishBoardSettings(WheelLink& link, const BoardSettings& settings, BoardWriteResult* result = nullptr);
