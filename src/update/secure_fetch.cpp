// The scheme-aware fetch: the HTTP client for plain host names, the HTTPS
// seam with its redirect rules for https:// servers.
#include "update/secure_fetch.h"

#include <cstdio>
#include <cstring>

#include "exec/memory.h"
#include "exec/os.h"

namespace {

bool FitsRequest(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (*p <= 0x20 || *p >= 0x7F) return false;
  }
  return true;
}

const char* ResultText(SecureResult result) {
  switch (result) {
    case SecureResult::kHostNotFound: return kHttpHostNotFound;
    case SecureResult::kNoConnection: return kHttpNoConnection;
    case SecureResult::kCertificate: return kHttpsCertificate;
    case SecureResult::kTimedOut: return kHttpTimedOut;
    case SecureResult::kTooLarge: return kHttpTooLarge;
    case SecureResult::kUnavailable: return kHttpsUnavailable;
    case SecureResult::kNotReceived:
    case SecureResult::kAnswered: break;
  }
  return kHttpNotReceived;
}

bool IsRedirect(int status) { return status == 301 || status == 302 || status == 303 || status == 307 || status == 308; }

char* FetchSecure(UpdateServerAddress server, const char* firstPath, uint32_t* length, SecureApi& secure,
                  const char** reason) {
  char path[kHttpTextMax + 1];
  if (std::strlen(firstPath) > kHttpTextMax) {
    *reason = kHttpTooLong;
    return nullptr;
  }
  std::memcpy(path, firstPath, std::strlen(firstPath) + 1);
  char* response = static_cast<char*>(AllocMem(kMainPoolId, kHttpMaxResponse + 1));
  if (response == nullptr) {
    *reason = kHttpNotReceived;
    return nullptr;
  }
  const uint64_t deadlineUs = os::MonotonicUs() + uint64_t{kHttpTimeoutMs} * 1000u;
  for (int hop = 0;; ++hop) {
    if (!FitsRequest(path)) {
      *reason = kHttpBadText;
      break;
    }
    uint32_t count = 0;
    const SecureResult result =
        secure.Get(server.host, server.port, path, deadlineUs, response, kHttpMaxResponse, &count);
    if (result != SecureResult::kAnswered) {
      // Only the reason: this may run on a worker thread, and the log
      // belongs to the user-interface thread.
      *reason = ResultText(result);
      break;
    }
    if (count > kHttpMaxResponse) count = kHttpMaxResponse;
    response[count] = 0;
    if (IsRedirect(HttpStatusCode(response, count))) {
      char location[kHttpTextMax + 1];
      if (hop >= kHttpsMaxRedirects) {
        *reason = kHttpsRedirects;
        break;
      }
      if (!FindHttpHeader(response, count, "location", location, sizeof location) ||
          !FollowHttpsRedirect(location, &server, path, sizeof path)) {
        *reason = kHttpsNotSecure;
        break;
      }
      continue;
    }
    uint32_t offset = 0;
    uint32_t bodyLength = 0;
    const char* failure = FindHttpBody(response, count, &offset, &bodyLength);
    if (failure != nullptr) {
      *reason = failure;
      break;
    }
    char* body = static_cast<char*>(AllocMem(kMainPoolId, bodyLength + 1));
    if (body == nullptr) {
      *reason = kHttpNotReceived;
      break;
    }
    std::memcpy(body, response + offset, bodyLength);
    body[bodyLength] = 0;
    FreeMem(response);
    *length = bodyLength;
    return body;
  }
  FreeMem(response);
  return nullptr;
}

}  // namespace

bool FollowHttpsRedirect(const char* location, UpdateServerAddress* server, char* path, size_t pathSize) {
  if (location == nullptr) return false;
  const char* rest = location;
  UpdateServerAddress target = *server;
  if (location[0] != '/') {
    // The server part up to the path: the same rules as the SERVER setting,
    // so nothing but https:// passes.
    const char* slash = nullptr;
    if (std::strlen(location) > sizeof kHttpsScheme - 1) {
      slash = std::strchr(location + sizeof kHttpsScheme - 1, '/');
    }
    const size_t serverLength = slash ? static_cast<size_t>(slash - location) : std::strlen(location);
    char text[kUpdateServerMax + 1];
    if (serverLength > kUpdateServerMax) return false;
    std::memcpy(text, location, serverLength);
    text[serverLength] = 0;
    if (!ParseUpdateServer(text, &target) || !target.https) return false;
    rest = location + serverLength;
  } else if (location[1] == '/') {
    return false;  // "//host/path" keeps the scheme of a page, which a redirect must name
  }
  if (*rest == '/') ++rest;
  const size_t pathLength = std::strlen(rest);
  if (pathLength >= pathSize) return false;
  std::memcpy(path, rest, pathLength + 1);
  *server = target;
  return true;
}

void FormatFetchUrl(const char* server, const char* path, char* out, size_t size) {
  UpdateServerAddress address;
  if (server == nullptr) server = "";
  if (path == nullptr) path = "";
  if (HasHttpsScheme(server) && ParseUpdateServer(server, &address)) {
    std::snprintf(out, size, "https://%s:%u/%s", address.host, address.port, path);
  } else {
    std::snprintf(out, size, "http://%s/%s", server, path);
  }
}

char* FetchFromServer(const char* server, const char* path, uint32_t* length, SocketApi& sockets, SecureApi& secure,
                      const char** reason) {
  const char* unused = "";
  if (reason == nullptr) reason = &unused;
  *reason = "";
  if (length) *length = 0;
  uint32_t dummy = 0;
  if (length == nullptr) length = &dummy;
  // Anything but an https:// address goes to the HTTP client as it always
  // did, with its own checks of the host.
  if (!HasHttpsScheme(server)) return FetchText(server, path, length, sockets, reason);
  UpdateServerAddress address;
  if (!ParseUpdateServer(server, &address)) {
    *reason = kFetchBadServer;
    return nullptr;
  }
  return FetchSecure(address, path ? path : "", length, secure, reason);
}
