// The update check: the online script from the update server, the tool and
// firmware offers.
#include <cctype>
#include <cstdio>
#include <cstring>

#include "exec/execlib.h"
#include "exec/log.h"
#include "exec/memory.h"
#include "exec/os.h"
#include "script/multilang.h"
#include "script/script.h"
#include "tillerset_version.h"
#include "update/http_client.h"
#include "update/updater.h"

namespace {

enum OnlineKey : uint16_t { kAdress = 0, kPort = 1, kVersion = 2, kUpdate = 3, kFwVersion = 4, kFwUpdate = 5 };

const ScriptKey kOnlineKeys[] = {
    {"ADRESS", kAdress, 1},   {"PORT", kPort, 1},           {"VERSION", kVersion, 4},
    {"UPDATE", kUpdate, 6},   {"FW_VERSION", kFwVersion, 4}, {"FW_UPDATE", kFwUpdate, 6},
    {nullptr, 0, 0},
};

const char* NextText(ScriptCursor* cursor) {
  const char* text = NextString(cursor);
  return text ? text : kMissingParameter;
}

// Four numbers a, b, c, d as a<<24 | b<<16 | c<<8 | d, each shifted and OR-ed
// in as a 32-bit value; a missing number counts 0.
uint32_t PackedVersion(ScriptCursor* cursor) {
  uint32_t packed = 0;
  for (int shift = 24; shift >= 0; shift -= 8) packed |= static_cast<uint32_t>(NextNumber(cursor)) << shift;
  return packed;
}

// Copies text when it fits; otherwise leaves out empty and says so: a cut
// address or file name would name something else.
void CopyWhole(char* out, size_t size, const char* text, const char* key) {
  const size_t length = std::strlen(text);
  if (length < size) {
    std::memcpy(out, text, length + 1);
    return;
  }
  out[0] = 0;
  LogPrintf(0, "ReadOnlineScript: the %s value is longer than %u characters; it is not used", key,
            static_cast<unsigned>(size - 1));
}

int ReadOnlineLine(uint16_t id, ScriptCursor* cursor) {
  UpdateServerRecord* record = static_cast<UpdateServerRecord*>(cursor->context);
  if (record == nullptr) return 0;
  switch (id) {
    case kAdress:
      std::snprintf(record->address, sizeof record->address, "%s", NextText(cursor));
      break;
    case kPort:
      record->port = NextNumber(cursor);
      break;
    case kVersion:
      record->toolVersion = PackedVersion(cursor);
      break;
    case kFwVersion:
      record->firmwareVersion = static_cast<int32_t>(PackedVersion(cursor));
      break;
    case kUpdate: {
      for (int unused = 0; unused < 4; ++unused) NextString(cursor);
      char base[kRecordUrlMax + 1];
      CopyWhole(base, sizeof base, NextText(cursor), "UPDATE");
      const char* file = NextText(cursor);
      const unsigned code = LanguageCode(CurrentLanguage().number);
      char url[2 * (kRecordUrlMax + 1)];
      std::snprintf(url, sizeof url, "%s%u/%s", base, code, file);
      CopyWhole(record->toolUrl, sizeof record->toolUrl, base[0] ? url : "", "UPDATE");
      break;
    }
    case kFwUpdate:
      for (int unused = 0; unused < 4; ++unused) NextString(cursor);
      CopyWhole(record->firmwareHost, sizeof record->firmwareHost, NextText(cursor), "FW_UPDATE host");
      CopyWhole(record->firmwarePath, sizeof record->firmwarePath, NextText(cursor), "FW_UPDATE path");
      break;
    default:
      break;
  }
  return 0;
}

bool StartsWithNoCase(const char* text, const char* prefix) {
  for (; *prefix; ++prefix, ++text) {
    if (std::tolower(static_cast<unsigned char>(*text)) != *prefix) return false;
  }
  return true;
}

}  // namespace

const char* const kServerListPaths[kServerListRows] = {"ts_servers.ini", "beta_servers.ini", "servers.ini"};

UpdateServerRecord::UpdateServerRecord() {
  std::snprintf(address, sizeof address, "%s", kRecordDefaultAddress);
}

int ServerListRow(const char* applicationName) {
  struct Row {
    const char* name;
    int row;
  };
  static const Row kApplications[] = {{"Tillerset", 0}};
  for (const Row& app : kApplications) {
    const char* a = app.name;
    const char* b = applicationName ? applicationName : "";
    while (*a && std::tolower(static_cast<unsigned char>(*a)) == std::tolower(static_cast<unsigned char>(*b))) {
      ++a;
      ++b;
    }
    if (*a == 0 && *b == 0) return app.row;
  }
  return 0;
}

uint32_t OwnToolVersion() { return (uint32_t{TS_VERSION_MAJOR} << 8) | TS_VERSION_MINOR; }

bool IsDownloadUrl(const char* url) {
  if (url == nullptr || !(StartsWithNoCase(url, "http://") || StartsWithNoCase(url, "https://"))) return false;
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(url); *p; ++p) {
    if (*p <= 0x20 || *p >= 0x7F || *p == '"') return false;
  }
  return true;
}

void FormatPackedVersion(uint32_t packed, char* out, size_t size) {
  const unsigned a = packed >> 24, b = (packed >> 16) & 0xFFu, c = (packed >> 8) & 0xFFu, d = packed & 0xFFu;
  if (a == 0 && b == 0) {
    std::snprintf(out, size, "%u.%u", c, d);
  } else {
    std::snprintf(out, size, "%u.%u.%u.%u", a, b, c, d);
  }
}

bool Updater::ReadOnlineScript(int listIndex, UpdateServerRecord* record, const char* host, const char* path) {
  const uint64_t startMs = os::TickMs();
  uint32_t length = 0;
  PoolBlock text = PoolBlock::Adopt(Fetch(host, path, &length));
  (void)listIndex;
  return TakeOnlineScript(text.get(), length, path, os::TickMs() - startMs, record);
}

bool Updater::TakeOnlineScript(const char* text, uint32_t length, const char* path, uint64_t elapsedMs,
                               UpdateServerRecord* record) {
  if (text == nullptr) {
    LogPrintf(0, "Could not read Online script");
    return false;
  }
  LogPrintf(3, "Got Online script in %lu ms ", static_cast<unsigned long>(elapsedMs));
  return ParseOnlineScript(path, text, length, record);
}

bool ParseOnlineScript(const char* name, const char* text, uint32_t length, UpdateServerRecord* record) {
  ScriptDocument* document = OpenScriptFromMemory(name, text, length);
  if (document == nullptr) return false;
  document->context = record;
  ReadSection(document, "SERVER", kOnlineKeys, ReadOnlineLine);
  ReadSection(document, "UPDATE", kOnlineKeys, ReadOnlineLine);
  document->context = nullptr;
  ReleaseScript(document);
  return true;
}

void Updater::CheckThread(void* updater) {
  // Only the fetch: the log and the runtime's shared texts belong to the
  // user-interface thread, which takes the outcome in PollCheck.
  Updater& self = *static_cast<Updater*>(updater);
  uint32_t length = 0;
  const char* reason = "";
  char* text = self.fetch ? self.fetch(self, self.checkHost_, self.checkPath_, &length)
                          : FetchFromServer(self.checkHost_, self.checkPath_, &length, *self.sockets,
                                            *self.secure, &reason);
  self.checkText_ = text;
  self.checkLength_ = length;
  self.checkReason_ = reason;
  self.checkState_.store(kCheckFetched);
}

bool Updater::StartCheck(bool silent) {
  int idle = kCheckIdle;
  if (!checkState_.compare_exchange_strong(idle, kCheckFetching)) return false;
  const int row = ServerListRow(ApplicationName());
  checkSilent_ = silent;
  std::snprintf(checkHost_, sizeof checkHost_, "%s", settings_.updateServer);
  checkPath_ = kServerListPaths[row];
  checkStartMs_ = os::TickMs();
  checkText_ = nullptr;
  checkLength_ = 0;
  checkReason_ = "";
  if (view) view->ShowChecking(true);
  if (!StartWorkerThread(&checkThread_, CheckThread, this)) {
    checkReason_ = "no thread could be started for the fetch";
    checkState_.store(kCheckFetched);
  }
  return true;
}

void Updater::EndCheck() {
  if (checkState_.load() == kCheckIdle) return;
  JoinWorkerThread(&checkThread_);
  if (checkText_) FreeMem(checkText_);
  checkText_ = nullptr;
  checkState_.store(kCheckIdle);
}

void Updater::PollCheck() {
  if (checkState_.load() != kCheckFetched) return;
  JoinWorkerThread(&checkThread_);
  // Its questions pump messages, and so ticks: no second answer meanwhile.
  checkState_.store(kCheckAnswering);
  StatusHold hold(link_);
  PoolBlock text = PoolBlock::Adopt(checkText_);
  checkText_ = nullptr;
  if (!text) {
    char url[kFetchUrlMax];
    FormatFetchUrl(checkHost_, checkPath_, url, sizeof url);
    LogPrintf(0, "FetchText: %s: %s", url, checkReason_);
  }
  UpdateServerRecord record;
  if (TakeOnlineScript(text.get(), checkLength_, checkPath_, os::TickMs() - checkStartMs_, &record)) {
    MakeOffers(record, checkSilent_);
  } else if (!checkSilent_ && view) {
    view->Inform(std::strcmp(checkReason_, kHttpsCertificate) == 0 ? kCertificateNotTrusted : kServerUnreachable);
  }
  checkState_.store(kCheckIdle);
  if (view) view->ShowChecking(false);
}

void Updater::CheckForUpdates(bool silent) {
  if (!StartCheck(silent)) return;
  while (checkState_.load() != kCheckFetched) os::SleepMs(1);
  PollCheck();
}

void Updater::MakeOffers(const UpdateServerRecord& record, bool silent) {
  char text[256];
  char now[32];
  char offered[32];
  bool quit = false;
  const uint32_t own = OwnToolVersion();
  // "Skip this version" keeps the automatic check quiet about that one
  // version; "Check now" offers it all the same.
  const bool toolNewer = record.toolVersion > own;
  if (toolNewer && view && !(silent && record.toolVersion == settings_.skipToolVersion)) {
    FormatPackedVersion(own, now, sizeof now);
    FormatPackedVersion(record.toolVersion, offered, sizeof offered);
    std::snprintf(text, sizeof text, kToolOfferFormat, kToolQuestion, now, offered);
    const OfferAnswer answer = view->Offer(text, silent);
    if (answer == OfferAnswer::kSkip) {
      settings_.skipToolVersion = record.toolVersion;
      LogPrintf(0, "CheckForUpdates: Tillerset %s is skipped by the automatic check", offered);
    } else if (answer == OfferAnswer::kYes) {
      if (!IsDownloadUrl(record.toolUrl)) {
        LogPrintf(0, "CheckForUpdates: the download address \"%s\" is not opened (only http:// and https:// are)",
                  record.toolUrl);
      } else if (view->OpenInBrowser(record.toolUrl)) {
        quit = true;
      } else {
        LogPrintf(0, "CheckForUpdates: the shell did not open %s", record.toolUrl);
      }
    }
  }
  if (!quit) {
    if (record.firmwareVersion > static_cast<int32_t>(link_.firmwareVersion)) {
      if (view && !(silent && record.firmwareVersion == settings_.skipFirmwareVersion)) {
        const uint32_t board = link_.firmwareVersion;
        if (board != 0) {
          std::snprintf(now, sizeof now, "%u.%u", (board >> 8) & 0xFFu, board & 0xFFu);
        } else {
          std::snprintf(now, sizeof now, "unknown");
        }
        FormatPackedVersion(static_cast<uint32_t>(record.firmwareVersion), offered, sizeof offered);
        std::snprintf(text, sizeof text, kFirmwareOfferFormat, kFirmwareQuestion, now, offered);
        const OfferAnswer answer = view->Offer(text, silent);
        if (answer == OfferAnswer::kSkip) {
          settings_.skipFirmwareVersion = record.firmwareVersion;
          LogPrintf(0, "CheckForUpdates: firmware %s is skipped by the automatic check", offered);
        } else if (answer == OfferAnswer::kYes) {
          UpdateServerAddress firmwareServer;
          if (HasHttpsScheme(checkHost_) && ParseUpdateServer(record.firmwareHost, &firmwareServer) &&
              !firmwareServer.https) {
            // Whoever can answer for a plain host name on the network could
            // serve a firmware of their own: HTTPS all the way or nothing.
            LogPrintf(0, "CheckForUpdates: the firmware \"%s\" on \"%s\" is refused: the online script came over "
                         "HTTPS and names it on an address that is not https://",
                      record.firmwarePath, record.firmwareHost);
            view->Inform(kFirmwareNotSecure);
          } else {
            // The download and the flash go on in their own window, tick by tick.
            StartFirmwareDownload(record.firmwareHost, record.firmwarePath, record.firmwareVersion);
          }
        }
      }
    } else if (!toolNewer && !silent && view) {
      view->Inform(kNoUpdate);
    }
  }
  if (quit && view) view->Quit();
}
