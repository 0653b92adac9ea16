// config.ini: the ControlPanel's settings section.
#include "profiles/settings.h"

#include "app/control_panel.h"

namespace {

constexpr char kSettingsFile[] = "config.ini";
constexpr char kSection[] = "Config";

enum ConfigKey : uint16_t {
  kFlags = 0,
  kWindowDuration = 1,
  kDeviceComPort = 2,
  kSmComPort = 3,
  kResetDelay = 4,
  kTorqueBandwidth = 5,
  kUsedDeviceGuid = 6,
  kGameProfileId = 7,
};

int ReadConfigLine(uint16_t id, ScriptCursor* cursor) {
  ControlPanel* panel = static_cast<ControlPanel*>(cursor->context);
  if (!panel) return 0;
  switch (id) {
    case kFlags: panel->flags = static_cast<uint32_t>(NextNumber(cursor)); break;
    case kWindowDuration: panel->windowDuration = NextNumber(cursor); break;
    case kDeviceComPort: panel->wheelPort = static_cast<uint8_t>(NextNumber(cursor)); break;
    case kSmComPort: panel->smPort = static_cast<uint8_t>(NextNumber(cursor)); break;
    case kResetDelay: panel->resetDelay = static_cast<uint32_t>(NextNumber(cursor)); break;
    case kTorqueBandwidth: panel->torqueBandwidth = NextNumber(cursor); break;
    case kGameProfileId: panel->gameProfileId = NextNumber(cursor); break;
    case kUsedDeviceGuid: {
      DeviceGuid& guid = panel->usedDeviceGuid;
      guid.data1 = static_cast<uint32_t>(NextNumber(cursor));
      guid.data2 = static_cast<uint16_t>(NextNumber(cursor));
      guid.data3 = static_cast<uint16_t>(NextNumber(cursor));
      for (uint8_t& byte : guid.data4) byte = static_cast<uint8_t>(NextNumber(cursor));
      break;
    }
    default: break;
  }
  return 0;
}

bool AddConfigKeys(ScriptDocument* document, const void* context) {
  const ControlPanel& panel = *static_cast<const ControlPanel*>(context);
  const struct {
    ConfigKey key;
    int32_t value;
  } single[] = {
      {kFlags, static_cast<int32_t>(panel.flags)},
      {kWindowDuration, panel.windowDuration},
      {kDeviceComPort, panel.wheelPort},
      {kSmComPort, panel.smPort},
      {kResetDelay, static_cast<int32_t>(panel.resetDelay)},
      {kTorqueBandwidth, panel.torqueBandwidth},
      {kGameProfileId, panel.gameProfileId},
  };
  bool ok = true;
  for (const auto& line : single) ok = ok && AddNumber(AddKey(document, kConfigKeys, line.key), line.value);
  ScriptKeyLine* guid = ok ? AddKey(document, kConfigKeys, kUsedDeviceGuid) : nullptr;
  const DeviceGuid& id = panel.usedDeviceGuid;
  // The 32-bit field is written signed, as the file has always held it.
  ok = ok && AddNumber(guid, static_cast<int32_t>(id.data1)) && AddNumber(guid, id.data2) &&
       AddNumber(guid, id.data3);
  for (uint8_t byte : id.data4) ok = ok && AddNumber(guid, byte);
  return ok;
}

}  // namespace

const ScriptKey kConfigKeys[] = {
    {"FLAGS", kFlags, 1},
    {"WINDOW_DURATION", kWindowDuration, 1},
    {"DEVICE_COM_PORT", kDeviceComPort, 1},
    {"SM_COM_PORT", kSmComPort, 1},
    {"RESET_DELAY", kResetDelay, 1},
    {"TORQUE_BW", kTorqueBandwidth, 1},
    {"GAME_PROFILE_ID", kGameProfileId, 1},
    {"USED_DEVICE_GUID", kUsedDeviceGuid, 11},
    {nullptr, 0, 0},
};

bool LoadSettingsFrom(ControlPanel& panel, const char* name) {
  // No file: the defaults stay.
  return ReadScriptSection(name, kSection, kConfigKeys, ReadConfigLine, &panel);
}

bool SaveSettingsTo(const ControlPanel& panel, const char* name) {
  return WriteScriptSection(name, kSection, AddConfigKeys, &panel);
}

void ControlPanel::LoadSettings() { LoadSettingsFrom(*this, kSettingsFile); }

void ControlPanel::SaveSettings() { SaveSettingsTo(*this, kSettingsFile); }
