#include "update/updater.h"

#include "exec/log.h"
#include "update/secure_fetch.h"

Updater::Updater(WheelLink& link, Settings& settings) : link_(link), settings_(settings) {}

char* Updater::Fetch(const char* host, const char* path, uint32_t* length) {
  if (fetch) return fetch(*this, host, path, length);
  const char* reason = "";
  char* text = FetchFromServer(host, path, length, *sockets, *secure, &reason);
  if (text == nullptr) {
    char url[kFetchUrlMax];
    FormatFetchUrl(host, path, url, sizeof url);
    LogPrintf(0, "FetchText: %s: %s", url, reason);
  }
  return text;
}

uint8_t Updater::FindComPortFromIds(uint16_t vendorId, uint16_t productId) {
  return ::FindComPortFromIds(*processes, view, vendorId, productId);
}

bool Updater::ListComPorts(PortList* list) { return ::ListComPorts(*processes, view, list); }
