#pragma once
// config.ini: the program's own settings in section "Config", read once at
// start-up and written at exit and a short while after they change. The record holds them while the file is
// read or written; the ControlPanel hands each value to the part that uses it.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "input/device_guid.h"
#include "script/script.h"

// Section "Update", key "SERVER": the update server, a host name or a dotted
// IPv4 address (plain HTTP/1.0 on port 80), or "https://host" with an
// optional ":port" (443 when none) for a server that answers over HTTPS. The
// default is a name for a machine on the
// user's own network that runs the update server (tools/update_server); a
// file without the section keeps it, and the save leaves the section as the
// user wrote it.
constexpr char kDefaultUpdateServer[] = "tillerset-updates";
constexpr size_t kUpdateServerMax = 255;

// The keys of section "Config" with their defaults.
struct Settings {
  Settings() { std::memcpy(updateServer, kDefaultUpdateServer, sizeof kDefaultUpdateServer); }
  static constexpr uint32_t kFlagAutoUpdate = 0x1;  // "Automatically check for updates"
  static constexpr uint32_t kFlagDetectGame = 0x2;  // "Detect Game"
  uint32_t flags = 0;
  int32_t windowDuration = 10;
  uint8_t wheelPort = 0;
  uint8_t smPort = 0;
  uint32_t resetDelay = 2000;
  int32_t torqueBandwidth = 0;
  int32_t gameProfileId = 0;
  DeviceGuid usedDeviceGuid{};  // instance GUID of the chosen game controller
  char updateServer[kUpdateServerMax + 1];
  // The versions "Skip this version" keeps the automatic update check from
  // offering again (packed as the online script's VERSION and FW_VERSION;
  // 0: none). Written only when set, so files without them stay as they were.
  uint32_t skipToolVersion = 0;
  int32_t skipFirmwareVersion = 0;
  // The file was there at start but could be neither read nor copied: the
  // save leaves it as it is rather than replace what nobody has read.
  bool leaveFileAlone = false;
};

// A host name (letters, digits, '-' and '.', at most 255 characters) or a
// dotted IPv4 address: what may stand as a host in a request line.
bool IsServerHostName(const char* text);

// The update server a SERVER value names. https is false for a plain host
// name, which keeps the HTTP/1.0 client on port 80.
struct UpdateServerAddress {
  bool https = false;
  uint16_t port = 80;
  char host[kUpdateServerMax + 1] = "";
};
constexpr char kHttpsScheme[] = "https://";
constexpr uint16_t kHttpsPort = 443;
// A plain host name (IsServerHostName), or "https://" (any case) and a host
// name with an optional ":port" (1 to 65535) and an optional "/" behind it.
// Anything else, "http://" included, is refused: false, out untouched.
bool ParseUpdateServer(const char* text, UpdateServerAddress* out);
// Whether text begins with "https://" in any case.
bool HasHttpsScheme(const char* text);

// The key table of section "Config", in file order.
extern const ScriptKey kConfigKeys[];
constexpr char kSettingsFile[] = "config.ini";

// Load is true when the file was there and read (a key the file lacks keeps
// its value); a file there but unreadable is kept as "<file>.bak" (or left
// alone, leaveFileAlone). Save is true when it was written. The file's other
// sections stay.
// Differs whenever a value the file holds differs (the read-only flags aside).
uint64_t SettingsFingerprint(const Settings& settings);

bool LoadSettingsFrom(Settings& settings, const char* name);
bool SaveSettingsTo(const Settings& settings, const char* name);
