// The board's bootloader reset, firmware flashing with the outside flasher,
// and the board's settings around it.
#include <cstdio>
#include <cstring>
#include <initializer_list>

#include "exec/log.h"
#include "exec/os.h"
#include "update/intel_hex.h"
#include "update/updater.h"

namespace {

bool NameCharacter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
         c == '-' || c == '+' || c == '~';
}

bool EndsWithHex(const char* name, size_t length) {
  if (length < 4) return false;
  const char* tail = name + length - 4;
  return tail[0] == '.' && (tail[1] | 0x20) == 'h' && (tail[2] | 0x20) == 'e' && (tail[3] | 0x20) == 'x';
}

// The first count characters of name are device, in any case.
bool StartsAs(const char* name, const char* device, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    if (name[i] == '\0' || (name[i] | 0x20) != device[i]) return false;
  }
  return true;
}

// Windows opens these as devices whatever follows the first dot ("NUL.hex",
// "com1.tar.hex"): the image would go to a device and the flasher would read
// a port or nothing. Trailing spaces and dots of the stem count as nothing.
bool IsDeviceName(const char* name) {
  size_t stem = 0;
  while (name[stem] != '\0' && name[stem] != '.') ++stem;
  while (stem > 0 && (name[stem - 1] == ' ' || name[stem - 1] == '.')) --stem;
  for (const char* device : {"con", "prn", "aux", "nul", "conin$", "conout$"}) {
    if (stem == std::strlen(device) && StartsAs(name, device, stem)) return true;
  }
  const bool numbered = stem == 4 && name[3] >= '0' && name[3] <= '9';  // COM0..COM9, LPT0..LPT9
  return numbered && (StartsAs(name, "com", 3) || StartsAs(name, "lpt", 3));
}

}  // namespace

// Writes the image whole or not at all: a flasher given a half-written or an
// older file of that name would flash the wrong firmware.
bool WriteFirmwareImage(const char* path, const char* hex, uint32_t count) {
  FILE* file = os::OpenFile(path, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(hex, 1, count, file) == count;
  const bool closed = std::fclose(file) == 0;
  if (!(written && closed)) std::remove(path);
  return written && closed;
}

bool IsPlainFirmwareName(const char* name) {
  if (name == nullptr) return false;
  const size_t length = std::strlen(name);
  if (length == 0 || length > kRecordFirmwarePathMax || !EndsWithHex(name, length)) return false;
  if (std::strstr(name, "..") != nullptr || IsDeviceName(name)) return false;
  for (const char* p = name; *p; ++p) {
    if (!NameCharacter(*p)) return false;
  }
  return true;
}

bool MakeFlasherArguments(uint8_t bootloaderPort, const char* firmwareFile, FlasherArguments* out) {
  char port[16];
  std::snprintf(port, sizeof port, "-PCOM%d", bootloaderPort);
  char flash[kFlasherArgSize];
  const int n = std::snprintf(flash, sizeof flash, "-Uflash:w:%s:i", firmwareFile ? firmwareFile : "");
  if (n < 0 || static_cast<size_t>(n) >= sizeof flash) return false;
  const char* const texts[kFlasherArgCount] = {"avrdude", "-CTools\\avrdude.conf", "-v", "-patmega32u4",
                                               "-cavr109", port, "-b57600", "-D", flash};
  for (int i = 0; i < kFlasherArgCount; ++i) {
    std::snprintf(out->text[i], kFlasherArgSize, "%s", texts[i]);
    out->list[i] = out->text[i];
  }
  out->list[kFlasherArgCount] = nullptr;
  return true;
}

bool Updater::ResetBoard() {
  SerialChannel& channel = *link_.channel;
  channel.Close();
  const bool opened = channel.Open(link_.wheelPort, kBootloaderBaud) != 0;
  if (opened) channel.Close();
  return opened;
}

bool Updater::SaveBoardSettings() {
  // A backup not yet put back holds the user's settings; the board may hold
  // only the defaults of the last firmware (its restore was declined).
  BoardSettings pending;
  if (LoadBoardSettingsFile(backupFile, &pending)) {
    LogPrintf(0, "FlashFirmware: %s still holds settings that were not put back; it is kept", backupFile);
    return true;
  }
  // What the board holds now, not what the page last saw: read it afresh.
  if (link_.linkState < kWheelFound || !link_.channel->IsOpen()) {
    LogPrintf(0, "FlashFirmware: the board does not answer; its settings are not saved");
    return false;
  }
  link_.ReadAllParameters();
  if (link_.linkState < kWheelFound) {
    LogPrintf(0, "FlashFirmware: the board stopped answering; its settings are not saved");
    return false;
  }
  BoardSettings settings;
  CaptureBoardSettings(link_.parameters, link_.firmwareVersion, &settings);
  if (!SaveBoardSettingsFile(backupFile, settings)) {
    LogPrintf(0, "FlashFirmware: the board's settings could not be saved to %s", backupFile);
    return false;
  }
  LogPrintf(0, "FlashFirmware: the board's settings are saved in %s", backupFile);
  return true;
}

void Updater::OfferRestore() {
  if (!restorePending_ || link_.linkState < kWheelFound || !link_.channel->IsOpen()) return;
  StatusHold hold(link_);
  BoardSettings settings;
  if (!AskRestore(&settings)) return;
  EndRestore(WriteBoardSettings(link_, settings), settings.count);
}

bool Updater::AskRestore(BoardSettings* settings) {
  restorePending_ = false;
  if (view == nullptr || !view->Ask(kRestoreQuestion)) {
    if (view != nullptr && !view->Ask(kKeepBackupQuestion)) {
      std::remove(backupFile);
      LogPrintf(0, "RestoreBoardSettings: not wanted; %s is discarded", backupFile);
      return false;
    }
    LogPrintf(0, "RestoreBoardSettings: not wanted now; the settings stay saved in %s", backupFile);
    return false;
  }
  if (!LoadBoardSettingsFile(backupFile, settings)) {
    LogPrintf(0, "RestoreBoardSettings: %s could not be read", backupFile);
    EndRestore(1, 0);
    return false;
  }
  link_.WaitNotBusy();
  return true;
}

void Updater::EndRestore(int missed, int count) {
  if (missed == 0) {
    LogPrintf(0, "RestoreBoardSettings: %d settings put back", count);
    std::remove(backupFile);
    return;
  }
  char text[160];
  std::snprintf(text, sizeof text, kRestoreFailedFormat, backupFile);
  if (view) view->Inform(text);
}
