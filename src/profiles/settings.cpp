// config.ini: the settings record and section "Config".
#include "profiles/settings.h"

#include <cstring>

#include "exec/log.h"

namespace {

constexpr char kSection[] = "Config";
constexpr char kUpdateSection[] = "Update";
constexpr uint16_t kServer = 0;
const ScriptKey kUpdateKeys[] = {{"SERVER", kServer, 1}, {nullptr, 0, 0}};

int ReadUpdateLine(uint16_t id, ScriptCursor* cursor) {
  Settings* settings = static_cast<Settings*>(cursor->context);
  if (!settings || id != kServer) return 0;
  const char* server = NextString(cursor);
  UpdateServerAddress address;
  if (server != nullptr && ParseUpdateServer(server, &address)) {
    std::memcpy(settings->updateServer, server, std::strlen(server) + 1);
  } else {
    LogPrintf(0, "LoadSettings: SERVER=%s is neither a host name nor https://host[:port]; the update server stays %s",
              server ? server : "",
              settings->updateServer);
  }
  return 0;
}

enum ConfigKey : uint16_t {
  kFlags = 0,
  kWindowDuration = 1,
  kDeviceComPort = 2,
  kSmComPort = 3,
  kResetDelay = 4,
  kTorqueBandwidth = 5,
  kUsedDeviceGuid = 6,
  kGameProfileId = 7,
  kSkipVersion = 8,
  kSkipFirmwareVersion = 9,
};

int ReadConfigLine(uint16_t id, ScriptCursor* cursor) {
  Settings* settings = static_cast<Settings*>(cursor->context);
  if (!settings) return 0;
  switch (id) {
    case kFlags: settings->flags = static_cast<uint32_t>(NextNumber(cursor)); break;
    case kWindowDuration: settings->windowDuration = NextNumber(cursor); break;
    case kDeviceComPort: settings->wheelPort = static_cast<uint8_t>(NextNumber(cursor)); break;
    case kSmComPort: settings->smPort = static_cast<uint8_t>(NextNumber(cursor)); break;
    case kResetDelay: settings->resetDelay = static_cast<uint32_t>(NextNumber(cursor)); break;
    case kTorqueBandwidth: settings->torqueBandwidth = NextNumber(cursor); break;
    case kGameProfileId: settings->gameProfileId = NextNumber(cursor); break;
    case kSkipVersion: settings->skipToolVersion = static_cast<uint32_t>(NextNumber(cursor)); break;
    case kSkipFirmwareVersion: settings->skipFirmwareVersion = NextNumber(cursor); break;
    case kUsedDeviceGuid: {
      DeviceGuid& guid = settings->usedDeviceGuid;
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
  const Settings& settings = *static_cast<const Settings*>(context);
  const struct {
    ConfigKey key;
    int32_t value;
  } single[] = {
      {kFlags, static_cast<int32_t>(settings.flags)},
      {kWindowDuration, settings.windowDuration},
      {kDeviceComPort, settings.wheelPort},
      {kSmComPort, settings.smPort},
      {kResetDelay, static_cast<int32_t>(settings.resetDelay)},
      {kTorqueBandwidth, settings.torqueBandwidth},
      {kGameProfileId, settings.gameProfileId},
  };
  bool ok = true;
  for (const auto& line : single) ok = ok && AddNumber(AddKey(document, kConfigKeys, line.key), line.value);
  ScriptKeyLine* guid = ok ? AddKey(document, kConfigKeys, kUsedDeviceGuid) : nullptr;
  const DeviceGuid& id = settings.usedDeviceGuid;
  // Unsigned: written signed, a quarter of all first fields took a minus sign
  // and ten digits, which read back as 0 (the controller forgotten at every
  // start). Files written signed before still read the same.
  ok = ok && AddUnsigned(guid, id.data1) && AddNumber(guid, id.data2) &&
       AddNumber(guid, id.data3);
  for (uint8_t byte : id.data4) ok = ok && AddNumber(guid, byte);
  if (ok && settings.skipToolVersion != 0) {
    ok = AddUnsigned(AddKey(document, kConfigKeys, kSkipVersion), settings.skipToolVersion);
  }
  if (ok && settings.skipFirmwareVersion != 0) {
    ok = AddNumber(AddKey(document, kConfigKeys, kSkipFirmwareVersion), settings.skipFirmwareVersion);
  }
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
    {"SKIP_VERSION", kSkipVersion, 1},
    {"SKIP_FW_VERSION", kSkipFirmwareVersion, 1},
    {nullptr, 0, 0},
};

bool IsServerHostName(const char* text) {
  if (text == nullptr || *text == 0 || std::strlen(text) > kUpdateServerMax) return false;
  for (const char* p = text; *p; ++p) {
    const char c = *p;
    const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
                    c == '.';
    if (!ok) return false;
  }
  return true;
}

bool HasHttpsScheme(const char* text) {
  if (text == nullptr) return false;
  for (size_t i = 0; i < sizeof kHttpsScheme - 1; ++i) {
    const char c = text[i];  // the terminator ends the loop by not matching
    if ((c >= 'A' && c <= 'Z' ? static_cast<char>(c + 32) : c) != kHttpsScheme[i]) return false;
  }
  return true;
}

bool ParseUpdateServer(const char* text, UpdateServerAddress* out) {
  if (text == nullptr || std::strlen(text) > kUpdateServerMax) return false;
  UpdateServerAddress address;
  const size_t schemeLength = sizeof kHttpsScheme - 1;
  if (!HasHttpsScheme(text)) {
    if (!IsServerHostName(text)) return false;
    std::memcpy(address.host, text, std::strlen(text) + 1);
    *out = address;
    return true;
  }
  const char* host = text + schemeLength;
  size_t hostLength = 0;
  while (host[hostLength] != 0 && host[hostLength] != ':' && host[hostLength] != '/') ++hostLength;
  std::memcpy(address.host, host, hostLength);
  address.host[hostLength] = 0;
  if (!IsServerHostName(address.host)) return false;
  const char* rest = host + hostLength;
  uint32_t port = kHttpsPort;
  if (*rest == ':') {
    ++rest;
    port = 0;
    int digits = 0;
    for (; *rest >= '0' && *rest <= '9'; ++rest, ++digits) {
      port = port * 10 + static_cast<uint32_t>(*rest - '0');
      if (port > 65535) return false;
    }
    if (digits == 0 || port == 0) return false;
  }
  if (*rest == '/') ++rest;
  if (*rest != 0) return false;  // a path or more: the scripts' names are fixed
  address.https = true;
  address.port = static_cast<uint16_t>(port);
  *out = address;
  return true;
}

uint64_t SettingsFingerprint(const Settings& settings) {
  uint64_t hash = 14695981039346656037ull;  // FNV-1a
  auto add = [&hash](const void* bytes, size_t count) {
    for (size_t i = 0; i < count; ++i) hash = (hash ^ static_cast<const uint8_t*>(bytes)[i]) * 1099511628211ull;
  };
  const DeviceGuid& id = settings.usedDeviceGuid;
  const uint32_t values[] = {settings.flags,      static_cast<uint32_t>(settings.windowDuration),
                             settings.wheelPort,  settings.smPort,
                             settings.resetDelay, static_cast<uint32_t>(settings.torqueBandwidth),
                             static_cast<uint32_t>(settings.gameProfileId),
                             id.data1,            id.data2,
                             id.data3};
  add(values, sizeof values);
  add(id.data4, sizeof id.data4);
  add(settings.updateServer, std::strlen(settings.updateServer));
  return hash;
}

bool LoadSettingsFrom(Settings& settings, const char* name) {
  // No file: the defaults stay.
  // Both sections from one reading of the file.
  const ScriptSectionRead sections[] = {{kSection, kConfigKeys, ReadConfigLine},
                                        {kUpdateSection, kUpdateKeys, ReadUpdateLine}};
  const StartRead read = ReadScriptSectionsAtStart(name, sections, 2, &settings);
  settings.leaveFileAlone = read == StartRead::kUnreadableLeaveAlone;
  return read == StartRead::kRead;
}

bool SaveSettingsTo(const Settings& settings, const char* name) {
  if (settings.leaveFileAlone) {
    LogPrintf(0, "SaveSettings: %s not written: it could not be read at start\n", name);
    return false;
  }
  return WriteScriptSection(name, kSection, AddConfigKeys, &settings);
}
