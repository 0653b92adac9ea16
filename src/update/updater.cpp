#include "update/updater.h"

#include "exec/log.h"
#include "update/http_client.h"

Updater::Updater(WheelLink& link, Settings& settings) : link_(link), settings_(settings) {}

char* Updater::Fetch(const char* host, const char* path, uint32_t* length) {
  if (fetch) return fetch(*this, host, path, length);
  const char* reason = "";
  char* text = FetchText(host, path, length, *sockets, &reason);
  if (text == nullptr) LogPrintf(0, "FetchText: http://%s/%s: %s", host ? host : "", path ? path : "", reason);
  return text;
}

uint8_t Updater::FindComPortFromIds(uint16_t vendorId, uint16_t productId) {
  return ::FindComPortFromIds(*processes, view, vendorId, productId);
}

bool Updater::ListComPorts(PortList* list) { return ::ListComPorts(*processes, view, list); }
