#pragma once
// The fetch the update check and the firmware download go through, chosen by
// the server's address (a SERVER value of config.ini or a script's firmware
// host): a plain host name goes to the HTTP/1.0 client unchanged,
// "https://host[:port]" over HTTPS through the system's own TLS (WinHTTP in
// the product, secure_fetch_win32.cpp), which checks the certificate against
// the system's trusted roots and the host name. No certificate error is ever
// let through. Redirects are followed only to https:// addresses. The rules of
// the HTTP client hold for both: one bound for the whole fetch
// (kHttpTimeoutMs, redirects included), at most kHttpMaxResponse bytes, a
// status-200 answer with its body rules (FindHttpBody). Blocking: never on
// the user-interface thread.
#include <cstddef>
#include <cstdint>

#include "profiles/settings.h"
#include "update/http_client.h"
#include "update/socket_io.h"

constexpr int kHttpsMaxRedirects = 5;
constexpr size_t kFetchUrlMax = 2 * kHttpTextMax + 16;

// The failure texts of an HTTPS fetch (besides the HTTP client's own).
constexpr char kHttpsUnavailable[] = "HTTPS is not available on this system.";
constexpr char kHttpsCertificate[] = "The server's certificate is not trusted.";
constexpr char kHttpsNotSecure[] = "The server sent the request on to an address that is not https://.";
constexpr char kHttpsRedirects[] = "The server sent the request on too many times.";
constexpr char kFetchBadServer[] = "The server is neither a host name nor https://host[:port].";

enum class SecureResult {
  kAnswered, kHostNotFound, kNoConnection, kCertificate, kTimedOut, kTooLarge, kNotReceived, kUnavailable
};

// One HTTPS exchange, behind a seam so that the rules around it stay testable
// where the system has no TLS of its own.
class SecureApi {
 public:
  virtual ~SecureApi() = default;
  // One GET of https://host:port/path (path without its leading '/'),
  // redirects not followed, done by deadlineUs (os::MonotonicUs). On
  // kAnswered: the status line and headers (lines ending "\r\n", an empty
  // line behind them) and then the body, *length bytes in response (at most
  // capacity; more is kTooLarge).
  virtual SecureResult Get(const char* host, uint16_t port, const char* path, uint64_t deadlineUs, char* response,
                           uint32_t capacity, uint32_t* length) = 0;
};
// WinHTTP in the product; natively a refusal (kUnavailable).
SecureApi& SystemSecure();

// Where a redirect of an HTTPS fetch may go: an absolute "https://host[:port]/path"
// address, or a path on the same server ("/path"). False for anything else,
// http:// above all. path receives the path without its leading '/'.
bool FollowHttpsRedirect(const char* location, UpdateServerAddress* server, char* path, size_t pathSize);

// The address a fetch of path from server asks for, for the log:
// "http://host/path" or "https://host:port/path".
void FormatFetchUrl(const char* server, const char* path, char* out, size_t size);

// The body of path on server (see above) in a block of the runtime's pool
// that the caller frees (FreeMem), with a 0 byte behind it; null (and
// *length 0) when there is none, with the reason, when asked for, one of the
// failure texts (kHttpsCertificate when the certificate was refused).
char* FetchFromServer(const char* server, const char* path, uint32_t* length, SocketApi& sockets, SecureApi& secure,
                      const char** reason = nullptr);
