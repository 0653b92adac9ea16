// HTTPS through WinHTTP: Windows checks the certificate against its trusted
// roots and the host name, and a refused certificate ends the fetch. No
// security flag that would let a certificate error through is ever set.
#include <windows.h>
#include <winhttp.h>

#include <atomic>
#include <cstring>
#include <new>

#include "exec/os.h"
#include "update/secure_fetch.h"
#include "update/worker_thread.h"

namespace {

constexpr wchar_t kUserAgent[] = L"CustomClient/1.0";

struct InternetHandle {
  HINTERNET handle = nullptr;
  ~InternetHandle() {
    if (handle != nullptr) WinHttpCloseHandle(handle);
  }
};

DWORD MsLeft(uint64_t deadlineUs) {
  const uint64_t now = os::MonotonicUs();
  if (now >= deadlineUs) return 0;
  return static_cast<DWORD>((deadlineUs - now + 999) / 1000);
}

// Every step gets only what is left of the one bound.
bool SetTimeouts(HINTERNET handle, uint64_t deadlineUs) {
  const int ms = static_cast<int>(MsLeft(deadlineUs));
  return ms > 0 && WinHttpSetTimeouts(handle, ms, ms, ms, ms);
}

bool IsCertificateError(DWORD error) {
  switch (error) {
    case ERROR_WINHTTP_SECURE_FAILURE:
    case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
    case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
    case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
    case ERROR_WINHTTP_SECURE_INVALID_CA:
    case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
    case ERROR_WINHTTP_SECURE_INVALID_CERT:
    case ERROR_WINHTTP_SECURE_CERT_REVOKED:
    case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
      return true;
    default:
      return false;
  }
}

SecureResult Failed(DWORD error) {
  if (IsCertificateError(error)) return SecureResult::kCertificate;
  switch (error) {
    case ERROR_WINHTTP_TIMEOUT: return SecureResult::kTimedOut;
    case ERROR_WINHTTP_NAME_NOT_RESOLVED: return SecureResult::kHostNotFound;
    case ERROR_WINHTTP_CANNOT_CONNECT: return SecureResult::kNoConnection;
    default: return SecureResult::kNotReceived;
  }
}

// ASCII into a wide string; the callers' texts are checked ASCII already.
bool Widen(const char* text, wchar_t* out, size_t size) {
  size_t i = 0;
  for (; text[i] != 0; ++i) {
    if (i + 1 >= size) return false;
    out[i] = static_cast<unsigned char>(text[i]);
  }
  out[i] = 0;
  return true;
}

SecureResult Exchange(const char* host, uint16_t port, const char* path, uint64_t deadlineUs, char* response,
                      uint32_t capacity, uint32_t* length) {
  *length = 0;
  wchar_t wideHost[kHttpTextMax + 1];
  wchar_t widePath[kHttpTextMax + 2] = L"/";
  if (!Widen(host, wideHost, sizeof wideHost / sizeof *wideHost) ||
      !Widen(path, widePath + 1, sizeof widePath / sizeof *widePath - 1)) {
    return SecureResult::kNotReceived;
  }
  InternetHandle session{WinHttpOpen(kUserAgent, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                                     WINHTTP_NO_PROXY_BYPASS, 0)};
  if (session.handle == nullptr) return SecureResult::kUnavailable;
  if (!SetTimeouts(session.handle, deadlineUs)) return SecureResult::kTimedOut;
  InternetHandle connection{WinHttpConnect(session.handle, wideHost, port, 0)};
  if (connection.handle == nullptr) return Failed(GetLastError());
  InternetHandle request{WinHttpOpenRequest(connection.handle, L"GET", widePath, nullptr, WINHTTP_NO_REFERER,
                                            WINHTTP_DEFAULT_ACCEPT_TYPES, WINHTTP_FLAG_SECURE)};
  if (request.handle == nullptr) return Failed(GetLastError());
  // Redirects come back to the caller, which follows only https:// ones.
  DWORD features = WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_AUTHENTICATION;
  if (!WinHttpSetOption(request.handle, WINHTTP_OPTION_DISABLE_FEATURE, &features, sizeof features)) {
    return Failed(GetLastError());
  }
  if (!SetTimeouts(request.handle, deadlineUs)) return SecureResult::kTimedOut;
  if (!WinHttpSendRequest(request.handle, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA, 0, 0, 0)) {
    return Failed(GetLastError());
  }
  if (!SetTimeouts(request.handle, deadlineUs)) return SecureResult::kTimedOut;
  if (!WinHttpReceiveResponse(request.handle, nullptr)) return Failed(GetLastError());

  // The status line and headers as the server sent them, each line ending
  // "\r\n" and an empty line behind them, into the response buffer (wide,
  // then narrowed in place: byte i is written after wide character i was read).
  DWORD bytes = 0;
  WinHttpQueryHeaders(request.handle, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &bytes, WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || bytes == 0) return Failed(GetLastError());
  if (bytes > capacity) return SecureResult::kTooLarge;
  wchar_t* wide = reinterpret_cast<wchar_t*>(response);
  if (!WinHttpQueryHeaders(request.handle, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX, wide,
                           &bytes, WINHTTP_NO_HEADER_INDEX)) {
    return Failed(GetLastError());
  }
  uint32_t used = bytes / sizeof(wchar_t);
  for (uint32_t i = 0; i < used; ++i) {
    const wchar_t c = wide[i];
    response[i] = c < 0x80 ? static_cast<char>(c) : '?';
  }
  while (used > 0 && response[used - 1] == 0) --used;

  for (;;) {
    DWORD ms = MsLeft(deadlineUs);
    if (ms == 0) return SecureResult::kTimedOut;
    WinHttpSetOption(request.handle, WINHTTP_OPTION_RECEIVE_TIMEOUT, &ms, sizeof ms);
    DWORD got = 0;
    if (used == capacity) {
      // Full: one more byte means the answer is too large to keep whole.
      char probe;
      if (!WinHttpReadData(request.handle, &probe, 1, &got)) return Failed(GetLastError());
      if (got != 0) return SecureResult::kTooLarge;
      break;
    }
    if (!WinHttpReadData(request.handle, response + used, capacity - used, &got)) {
      return Failed(GetLastError());
    }
    if (got == 0) break;
    used += got;
  }
  *length = used;
  return SecureResult::kAnswered;
}

// WinHTTP does not keep to its time-outs everywhere (a server that takes the
// connection and never answers the TLS handshake held it far longer under
// Wine), so the exchange runs on a thread of its own that the waiting side
// leaves behind at the deadline. Its record and buffer live outside the
// runtime (they may outlive the fetch, and the runtime too) and go with
// whichever side lets go of them last.
struct ExchangeJob {
  std::atomic<int> holders{2};
  std::atomic<bool> done{false};
  char host[kHttpTextMax + 1];
  char path[kHttpTextMax + 1];
  uint16_t port = 0;
  uint64_t deadlineUs = 0;
  char* buffer = nullptr;
  uint32_t capacity = 0;
  uint32_t length = 0;
  SecureResult result = SecureResult::kNotReceived;
  WorkerThread thread;
};

void LetGo(ExchangeJob* job) {
  if (job->holders.fetch_sub(1) == 1) {
    os::HostFree(job->buffer);
    job->~ExchangeJob();
    os::HostFree(job);
  }
}

void ExchangeThread(void* record) {
  ExchangeJob* job = static_cast<ExchangeJob*>(record);
  job->result = Exchange(job->host, job->port, job->path, job->deadlineUs, job->buffer, job->capacity, &job->length);
  job->done.store(true);
  LetGo(job);
}

class WinHttpSecureApi : public SecureApi {
 public:
  SecureResult Get(const char* host, uint16_t port, const char* path, uint64_t deadlineUs, char* response,
                   uint32_t capacity, uint32_t* length) override {
    *length = 0;
    if (std::strlen(host) > kHttpTextMax || std::strlen(path) > kHttpTextMax) return SecureResult::kNotReceived;
    void* memory = os::HostAlloc(sizeof(ExchangeJob));
    char* buffer = static_cast<char*>(os::HostAlloc(capacity + sizeof(wchar_t)));
    if (memory == nullptr || buffer == nullptr) {
      if (memory != nullptr) os::HostFree(memory);
      if (buffer != nullptr) os::HostFree(buffer);
      return SecureResult::kNotReceived;
    }
    ExchangeJob* job = new (memory) ExchangeJob;
    std::memcpy(job->host, host, std::strlen(host) + 1);
    std::memcpy(job->path, path, std::strlen(path) + 1);
    job->port = port;
    job->deadlineUs = deadlineUs;
    job->buffer = buffer;
    job->capacity = capacity;
    if (!StartWorkerThread(&job->thread, ExchangeThread, job)) {
      job->holders.store(1);
      LetGo(job);
      return SecureResult::kNotReceived;
    }
    DetachWorkerThread(&job->thread);
    SecureResult result = SecureResult::kTimedOut;
    while (os::MonotonicUs() < deadlineUs) {
      if (job->done.load()) break;
      os::SleepUs(1000);
    }
    if (job->done.load()) {
      result = job->result;
      if (result == SecureResult::kAnswered) {
        std::memcpy(response, job->buffer, job->length);
        *length = job->length;
      }
    }
    LetGo(job);
    return result;
  }
};

}  // namespace

SecureApi& SystemSecure() {
  static WinHttpSecureApi api;
  return api;
}
