#pragma once
// A minimal HTTP/1.0 client that fetches one plain-text resource from the
// update server: the online script and firmware files. One GET over a new TCP
// connection to port 80, the response collected by a receive thread of its
// own, the whole exchange bounded by 2000 ms from the start of HttpGet (the
// host look-up, the connection and the answer together).
//
// The request, byte for byte:
//   "GET http://<host>/<path> HTTP/1.0\r\nUser-Agent:CustomClient/1.0\r\n\r\n"
// A response has a body only when its status is 200 and its headers (in any
// order, names in any case, lines ending in "\r\n" or "\n") carry a
// Content-Type of text/plain (parameters allowed) or application/octet-stream,
// or none at all; text/html or any other type is never a body. When they give
// a Content-Length, a shorter body is a failed fetch and bytes past it are
// not part of the body. Responses are kept whole in memory up to
// kHttpMaxResponse bytes; a larger one is refused, never cut.
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "update/socket_io.h"
#include "update/worker_thread.h"

constexpr uint16_t kHttpPort = 80;
constexpr uint32_t kHttpTimeoutMs = 2000;
constexpr size_t kHttpTextMax = 255;  // host copy and URL, terminator not counted
// The whole response (status line, headers and body): a 1 MiB body with its
// headers fits.
constexpr uint32_t kHttpMaxResponse = (1u << 20) + (16u << 10);
constexpr char kHttpRequestFormat[] = "GET %s HTTP/1.0\r\nUser-Agent:CustomClient/1.0\r\n\r\n";

// The failure texts (ErrorText after a fetch that gave no body).
constexpr char kHttpNotStarted[] = "Winsock did not start up correctly";
constexpr char kHttpTooLong[] = "Host or URL string is too long.";
constexpr char kHttpHostNotFound[] = "Host was not found.";
constexpr char kHttpNoConnection[] = "Could not connect to server";
constexpr char kHttpNotSent[] = "Could not send URL request";
constexpr char kHttpNotReceived[] = "Could not receive server response";
constexpr char kHttpBadText[] = "Host or URL holds a character a request line cannot carry.";
constexpr char kHttpTimedOut[] = "The server did not answer in time.";
constexpr char kHttpTooLarge[] = "The server's answer is too large.";
constexpr char kHttpNotOk[] = "The server did not answer with status 200.";
constexpr char kHttpNoBody[] = "The server's answer has no text/plain body.";
constexpr char kHttpShortBody[] = "The server's answer is shorter than its Content-Length.";
constexpr char kHttpBadLength[] = "The server's answer has an unreadable Content-Length.";

// Receiving 0, complete 1, failed 2, waiting for a previous request 3,
// timed out 4; a client that has not fetched yet is idle.
enum class HttpState : int { kReceiving = 0, kComplete = 1, kFailed = 2, kWaiting = 3, kTimedOut = 4, kIdle = 5 };

class HttpClient {
 public:
  // Starts the socket library and takes both buffers from the runtime's pool
  // (so the runtime must run). The sockets must outlive every host look-up
  // the client starts (the system's do).
  explicit HttpClient(SocketApi& sockets = SystemSockets());
  // Ends the receive thread and closes the connection first, whatever state
  // the fetch was left in.
  ~HttpClient();
  HttpClient(const HttpClient&) = delete;
  HttpClient& operator=(const HttpClient&) = delete;

  bool Started() const { return started_; }
  // The body (inside the client, valid until it goes or fetches again) with
  // its length in BodyLength, or null.
  const char* HttpGet(const char* host, const char* path);
  uint32_t BodyLength() const { return bodyLength_; }
  HttpState State() const { return static_cast<HttpState>(state_.load()); }
  // Why the last fetch gave no body; "" after a good one.
  const char* ErrorText() const { return error_; }
  // The URL of the last request ("http://host/path").
  const char* Url() const { return url_; }

  // After a good HttpGet: the response block itself, the body moved to its
  // start and a 0 byte behind it, for the caller to free with FreeMem. The
  // client no longer has a body then.
  char* TakeResponseBlock(uint32_t* length);

 private:
  static void ReceiveThread(void* client);
  void Receive();
  bool Fail(const char* text, HttpState state = HttpState::kFailed);
  bool Connect(uint32_t address, uint64_t deadlineUs);
  bool SendRequest(uint64_t deadlineUs);
  void EndReceiving();
  bool TakeBody();

  SocketApi& sockets_;
  bool socketsStarted_ = false;
  bool started_ = false;
  SocketHandle socket_ = kNoSocket;
  char host_[kHttpTextMax + 1] = "";
  char url_[kHttpTextMax + 1] = "";
  char* request_ = nullptr;
  uint32_t requestLength_ = 0;
  char* response_ = nullptr;  // kHttpMaxResponse bytes and a 0 byte
  std::atomic<uint32_t> received_{0};
  std::atomic<int> state_{static_cast<int>(HttpState::kIdle)};
  const char* threadError_ = "";  // set by the receive thread before it says failed
  const char* error_ = "";
  uint32_t bodyOffset_ = 0;
  uint32_t bodyLength_ = 0;
  bool hasBody_ = false;
  WorkerThread thread_;
};

// The body rules above for a whole response (status line, headers, body) of
// length bytes: null with the body's offset and length, or the failure text.
const char* FindHttpBody(const char* response, uint32_t length, uint32_t* bodyOffset, uint32_t* bodyLength);
// The status number of a response's status line, 0 when it has none.
int HttpStatusCode(const char* response, uint32_t length);
// The value of the first header of that name (any case), blanks trimmed,
// into out; false when there is none, the headers do not end, or it does not
// fit in size - 1 characters.
bool FindHttpHeader(const char* response, uint32_t length, const char* name, char* out, size_t size);

// The form the update check uses: a client, one HttpGet, the body copied into
// a block of the runtime's pool that the caller owns and frees (FreeMem),
// with a 0 byte behind the body. Null (and *length 0) when there is no body;
// an empty body gives a block and *length 0. reason, when given, receives
// the client's failure text.
char* FetchText(const char* host, const char* path, uint32_t* length,
                SocketApi& sockets = SystemSockets(), const char** reason = nullptr);
