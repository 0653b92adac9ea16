// The board's bootloader reset, firmware flashing with the outside flasher,
// and the board's settings around it.
#include <cstdio>
#include <cstring>

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

// Writes the image whole or not at all: a flasher given a half-written or an
// older file of that name would flash the wrong firmware.
bool WriteImage(const char* path, const char* hex, uint32_t count) {
  FILE* file = os::OpenFile(path, "wb");
  if (file == nullptr) return false;
  const bool written = std::fwrite(hex, 1, count, file) == count;
  const bool closed = std::fclose(file) == 0;
  return written && closed;
}

}  // namespace

bool IsPlainFirmwareName(const char* name) {
  if (name == nullptr) return false;
  const size_t length = std::strlen(name);
  if (length == 0 || length > kRecordFirmwarePathMax || !EndsWithHex(name, length)) return false;
  if (std::strstr(name, "..") != nullptr) return false;
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

bool Updater::FlashFirmware(const char* firmwarePath, const char* hex, uint32_t count) {
  StatusHold hold(link_);
  return Flash(firmwarePath, hex, count);
}

bool Updater::Flash(const char* firmwarePath, const char* hex, uint32_t count) {
  if (!IsPlainFirmwareName(firmwarePath)) {
    LogPrintf(0, "FlashFirmware: \"%s\" is not a plain .hex file name; nothing is flashed",
              firmwarePath ? firmwarePath : "");
    return false;
  }
  const HexCheck image = CheckIntelHex(hex, count);
  if (!image.ok) {
    LogPrintf(0, "FlashFirmware: %s is not firmware for the board (line %u: %s); nothing is flashed",
              firmwarePath, image.line, image.reason);
    return false;
  }
  if (!WriteImage(firmwarePath, hex, count)) {
    LogPrintf(0, "FlashFirmware: %s could not be written; nothing is flashed", firmwarePath);
    return false;
  }

  PortList before;
  if (!ListComPorts(&before)) return false;
  const uint8_t boardPort = link_.wheelPort;
  if (!before.Contains(boardPort)) {
    LogPrintf(0, "FlashFirmware: the board's port COM%d is not among the ports", boardPort);
    return false;
  }

  const bool saved = SaveBoardSettings();
  if (!ResetBoard()) {
    char text[64];
    std::snprintf(text, sizeof text, kResetFailedFormat, boardPort);
    if (view) view->Inform(text);
    return false;
  }
  // From here the board goes through its bootloader: whatever the flasher
  // does, the settings are offered back once it answers again.
  restorePending_ = saved;
  link_.firmwareVersion = 0;
  uint32_t delay = settings_.resetDelay;
  if (delay > kMaxResetDelayMs) {
    LogPrintf(0, "FlashFirmware: RESET_DELAY %u ms is cut to %u ms", delay, kMaxResetDelayMs);
    delay = kMaxResetDelayMs;
  }
  link_.clock->SleepMs(delay);

  PortList after;
  ListComPorts(&after);
  uint8_t bootloader = 0;
  for (int i = 0; i < after.count; ++i) {
    if (!before.Contains(after.ports[i])) bootloader = after.ports[i];
  }
  if (bootloader == 0) {
    if (view) view->Inform(kNoBootloader);
    return false;
  }

  FlasherArguments args;
  if (!MakeFlasherArguments(bootloader, firmwarePath, &args)) return false;
  LogPrintf(0, "avrdude :");
  LogPrintf(0, "Tools\\avrdude -CTools\\avrdude.conf -v -patmega32u4 -cavr109 %s -b57600 -D%s", args.list[5],
            args.list[8]);
  int exitCode = -1;
  if (!processes->RunCapture(kFlasherProgram, args.list, nullptr, kFlasherTimeoutMs, &exitCode)) {
    LogPrintf(0, "FlashFirmware: %s could not be started", kFlasherProgram);
    return false;
  }
  if (exitCode != 0) {
    LogPrintf(0, "FlashFirmware: avrdude ended with exit code %d", exitCode);
    return false;
  }
  LogPrintf(0, "FlashFirmware: %s flashed on COM%d", firmwarePath, bootloader);
  return true;
}

void Updater::OfferRestore() {
  if (!restorePending_ || link_.linkState < kWheelFound || !link_.channel->IsOpen()) return;
  restorePending_ = false;
  StatusHold hold(link_);
  if (view == nullptr || !view->Ask(kRestoreQuestion)) {
    LogPrintf(0, "RestoreBoardSettings: not wanted; the settings stay saved in %s", backupFile);
    return;
  }
  BoardSettings settings;
  int missed = 0;
  if (!LoadBoardSettingsFile(backupFile, &settings)) {
    LogPrintf(0, "RestoreBoardSettings: %s could not be read", backupFile);
    missed = 1;
  } else {
    missed = WriteBoardSettings(link_, settings);
  }
  if (missed == 0) {
    LogPrintf(0, "RestoreBoardSettings: %d settings put back", settings.count);
    std::remove(backupFile);
    return;
  }
  char text[160];
  std::snprintf(text, sizeof text, kRestoreFailedFormat, backupFile);
  view->Inform(text);
}
