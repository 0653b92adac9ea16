// The HTTP client: request, connection, the receive thread and the bounded
// wait for the response.
#include "update/http_client.h"

#include <cctype>
#include <cstdio>
#include <cstring>
#include <new>

#include "exec/memory.h"
#include "exec/os.h"

namespace {

constexpr uint32_t kRequestBufferSize = 1024;  // "GET " + a 255-character URL + the rest
// How often the receive thread looks whether the waiting side gave up, and
// the step of the waiting side's own polls.
constexpr uint32_t kReceiveStepMs = 10;
constexpr uint32_t kWaitStepUs = 1000;
// Small bodies are copied into a block of their own size; a large one keeps
// the response block, so a 1 MiB firmware is never held twice.
constexpr uint32_t kCopyBodyBelow = 64u << 10;

uint64_t NowUs() { return os::MonotonicUs(); }

uint32_t MsLeft(uint64_t deadlineUs) {
  const uint64_t now = NowUs();
  if (now >= deadlineUs) return 0;
  const uint64_t left = (deadlineUs - now + 999) / 1000;
  return left > kReceiveStepMs ? kReceiveStepMs : static_cast<uint32_t>(left);
}

// A host name or path that a request line can carry: no control characters,
// spaces or bytes above 0x7E (they would split or break the request line).
bool FitsRequestLine(const char* text) {
  for (const unsigned char* p = reinterpret_cast<const unsigned char*>(text); *p; ++p) {
    if (*p <= 0x20 || *p >= 0x7F) return false;
  }
  return true;
}

// The host look-up, which may block for many seconds in the system's
// resolver, runs on a thread of its own that the waiting side can leave
// behind. Its record lives outside the runtime (it may outlive the client,
// and the runtime too) and goes with whichever side lets go of it last.
struct LookUpJob {
  std::atomic<int> holders{2};
  std::atomic<int> outcome{0};  // 0 running, 1 found, 2 not found
  uint32_t address = 0;
  SocketApi* sockets = nullptr;
  WorkerThread thread;
  char host[kHttpTextMax + 1];
};

void LetGo(LookUpJob* job) {
  if (job->holders.fetch_sub(1) == 1) {
    job->~LookUpJob();
    os::HostFree(job);
  }
}

void LookUpThread(void* record) {
  LookUpJob* job = static_cast<LookUpJob*>(record);
  // The client may end the socket library while this still runs: the thread
  // holds a start of its own.
  const bool started = job->sockets->Start() == 0;
  uint32_t address = 0;
  const bool found = started && job->sockets->LookUpIPv4(job->host, &address);
  if (started) job->sockets->Stop();
  job->address = address;
  job->outcome.store(found ? 1 : 2);
  LetGo(job);
}

enum class LookUp { kFound, kNotFound, kTimedOut };

LookUp LookUpBounded(SocketApi& sockets, const char* host, uint64_t deadlineUs, uint32_t* address) {
  if (ParseDottedIPv4(host, address)) return LookUp::kFound;
  void* memory = os::HostAlloc(sizeof(LookUpJob));
  if (memory == nullptr) return LookUp::kNotFound;
  LookUpJob* job = new (memory) LookUpJob;
  job->sockets = &sockets;
  std::snprintf(job->host, sizeof job->host, "%s", host);
  if (!StartWorkerThread(&job->thread, LookUpThread, job)) {
    job->~LookUpJob();
    os::HostFree(memory);
    return LookUp::kNotFound;
  }
  DetachWorkerThread(&job->thread);
  LookUp result = LookUp::kTimedOut;
  for (;;) {
    const int outcome = job->outcome.load();
    if (outcome != 0) {
      result = outcome == 1 ? LookUp::kFound : LookUp::kNotFound;
      if (outcome == 1) *address = job->address;
      break;
    }
    if (NowUs() >= deadlineUs) break;
    os::SleepUs(kWaitStepUs);
  }
  LetGo(job);
  return result;
}

// "HTTP/<digits>.<digits> 200" followed by a space or the line end.
bool StatusIsOk(const char* response, uint32_t length) {
  const char* end = response + length;
  const char* p = response;
  if (length < 5 || std::memcmp(p, "HTTP/", 5) != 0) return false;
  p += 5;
  auto digits = [&]() {
    const char* start = p;
    while (p < end && *p >= '0' && *p <= '9') ++p;
    return p > start;
  };
  if (!digits() || p >= end || *p != '.') return false;
  ++p;
  if (!digits()) return false;
  if (end - p < 4 || p[0] != ' ' || std::memcmp(p + 1, "200", 3) != 0) return false;
  p += 4;
  return p < end && (*p == ' ' || *p == '\r' || *p == '\n');
}

bool EqualsNoCase(const char* text, size_t length, const char* word) {
  if (std::strlen(word) != length) return false;
  for (size_t i = 0; i < length; ++i) {
    if (std::tolower(static_cast<unsigned char>(text[i])) != word[i]) return false;
  }
  return true;
}

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

// What the headers say about the body. Lines end in "\r\n" or "\n"; names
// are compared without regard to case; the first empty line ends them.
struct ResponseHeaders {
  bool ended = false;      // the empty line was there
  uint32_t bodyStart = 0;  // offset of the byte after it
  bool typeRefused = false;
  bool lengthGiven = false;
  bool lengthBad = false;
  uint64_t contentLength = 0;
};

// A script or a firmware comes as plain text or as bytes; a page in any other
// type (an error page, a portal's login) is never one. No type at all is
// taken as it comes.
bool IsBodyType(const char* value, size_t length) {
  size_t type = 0;
  while (type < length && value[type] != ';') ++type;
  while (type > 0 && IsBlank(value[type - 1])) --type;
  return EqualsNoCase(value, type, "text/plain") || EqualsNoCase(value, type, "application/octet-stream");
}

void ReadHeaderLine(const char* line, size_t length, ResponseHeaders* headers) {
  const char* colon = static_cast<const char*>(std::memchr(line, ':', length));
  if (colon == nullptr) return;
  size_t nameLength = static_cast<size_t>(colon - line);
  while (nameLength > 0 && IsBlank(line[nameLength - 1])) --nameLength;
  const char* value = colon + 1;
  const char* end = line + length;
  while (value < end && IsBlank(*value)) ++value;
  while (end > value && IsBlank(end[-1])) --end;
  const size_t valueLength = static_cast<size_t>(end - value);
  if (EqualsNoCase(line, nameLength, "content-type")) {
    if (!IsBodyType(value, valueLength)) headers->typeRefused = true;
  } else if (EqualsNoCase(line, nameLength, "content-length")) {
    uint64_t number = 0;
    bool bad = valueLength == 0;
    for (size_t i = 0; i < valueLength && !bad; ++i) {
      if (value[i] < '0' || value[i] > '9' || number > (UINT64_MAX - 9) / 10) {
        bad = true;
      } else {
        number = number * 10 + static_cast<uint64_t>(value[i] - '0');
      }
    }
    // Two lengths that disagree say nothing sure about the body.
    if (bad || (headers->lengthGiven && headers->contentLength != number)) headers->lengthBad = true;
    headers->lengthGiven = true;
    headers->contentLength = number;
  }
}

ResponseHeaders ReadHeaders(const char* response, uint32_t length) {
  ResponseHeaders headers;
  const char* end = response + length;
  const char* line = static_cast<const char*>(std::memchr(response, '\n', length));
  if (line == nullptr) return headers;
  ++line;  // past the status line
  while (line < end) {
    const char* newline = static_cast<const char*>(std::memchr(line, '\n', static_cast<size_t>(end - line)));
    if (newline == nullptr) return headers;  // cut inside the headers
    size_t lineLength = static_cast<size_t>(newline - line);
    if (lineLength > 0 && line[lineLength - 1] == '\r') --lineLength;
    if (lineLength == 0) {
      headers.ended = true;
      headers.bodyStart = static_cast<uint32_t>(newline + 1 - response);
      return headers;
    }
    ReadHeaderLine(line, lineLength, &headers);
    line = newline + 1;
  }
  return headers;
}

}  // namespace

HttpClient::HttpClient(SocketApi& sockets) : sockets_(sockets) {
  const int error = sockets_.Start();
  if (error != 0) {
    sockets_.ReportStartFailure(error);
    return;
  }
  socketsStarted_ = true;
  request_ = static_cast<char*>(AllocMem(kMainPoolId, kRequestBufferSize));
  response_ = static_cast<char*>(AllocMem(kMainPoolId, kHttpMaxResponse + 1));
  started_ = request_ != nullptr && response_ != nullptr;
}

HttpClient::~HttpClient() {
  EndReceiving();
  if (request_) FreeMem(request_);
  if (response_) FreeMem(response_);
  if (socketsStarted_) sockets_.Stop();
}

bool HttpClient::Fail(const char* text, HttpState state) {
  error_ = text;
  state_.store(static_cast<int>(state));
  return false;
}

void HttpClient::EndReceiving() {
  // A receive thread sees the state change within one of its steps and ends;
  // only then may the socket and the buffers go.
  int receiving = static_cast<int>(HttpState::kReceiving);
  state_.compare_exchange_strong(receiving, static_cast<int>(HttpState::kWaiting));
  JoinWorkerThread(&thread_);
  if (socket_ != kNoSocket) {
    sockets_.Close(socket_);
    socket_ = kNoSocket;
  }
}

bool HttpClient::Connect(uint32_t address, uint64_t deadlineUs) {
  socket_ = sockets_.Open();
  if (socket_ == kNoSocket) return Fail(kHttpNoConnection);
  int connected = sockets_.StartConnect(socket_, address, kHttpPort);
  while (connected == 0) {
    const uint32_t step = MsLeft(deadlineUs);
    if (step == 0) {
      EndReceiving();
      return Fail(kHttpTimedOut, HttpState::kTimedOut);
    }
    const int ready = sockets_.WaitWritable(socket_, step);
    if (ready < 0) connected = -1;
    if (ready > 0) connected = sockets_.ConnectResult(socket_) ? 1 : -1;
  }
  if (connected < 0) {
    EndReceiving();
    return Fail(kHttpNoConnection);
  }
  return true;
}

bool HttpClient::SendRequest(uint64_t deadlineUs) {
  uint32_t sent = 0;
  while (sent < requestLength_) {
    const long put = sockets_.Send(socket_, request_ + sent, requestLength_ - sent);
    if (put < 0) {
      EndReceiving();
      return Fail(kHttpNotSent);
    }
    sent += static_cast<uint32_t>(put);
    if (sent == requestLength_) break;
    const uint32_t step = MsLeft(deadlineUs);
    if (step == 0) {
      EndReceiving();
      return Fail(kHttpTimedOut, HttpState::kTimedOut);
    }
    if (sockets_.WaitWritable(socket_, step) < 0) {
      EndReceiving();
      return Fail(kHttpNotSent);
    }
  }
  return true;
}

void HttpClient::ReceiveThread(void* client) { static_cast<HttpClient*>(client)->Receive(); }

void HttpClient::Receive() {
  // Only sockets and the response buffer: this thread never enters the runtime.
  const int receiving = static_cast<int>(HttpState::kReceiving);
  const char* error = nullptr;
  while (state_.load() == receiving) {
    const int ready = sockets_.WaitReadable(socket_, kReceiveStepMs);
    if (ready == 0) continue;
    if (ready < 0) {
      error = kHttpNotReceived;
      break;
    }
    const uint32_t count = received_.load();
    if (count == kHttpMaxResponse) {
      // Full: one more byte means the answer is too large to keep whole.
      char probe;
      const long got = sockets_.Receive(socket_, &probe, 1);
      if (got == SocketApi::kReceiveWouldBlock) continue;
      if (got != 0) error = got < 0 ? kHttpNotReceived : kHttpTooLarge;
      break;
    }
    const long got = sockets_.Receive(socket_, response_ + count, kHttpMaxResponse - count);
    if (got == SocketApi::kReceiveWouldBlock) continue;
    if (got < 0) {
      error = kHttpNotReceived;
      break;
    }
    if (got == 0) break;  // the server closed: the response is complete
    received_.store(count + static_cast<uint32_t>(got));
  }
  // The waiting side may have given up meanwhile; then its state stands.
  int expected = receiving;
  if (error != nullptr) {
    threadError_ = error;
    state_.compare_exchange_strong(expected, static_cast<int>(HttpState::kFailed));
  } else {
    state_.compare_exchange_strong(expected, static_cast<int>(HttpState::kComplete));
  }
}

bool HttpClient::TakeBody() {
  const uint32_t length = received_.load();
  response_[length] = 0;
  const char* failure = FindHttpBody(response_, length, &bodyOffset_, &bodyLength_);
  if (failure != nullptr) {
    bodyLength_ = 0;
    return Fail(failure);
  }
  hasBody_ = true;
  return true;
}

const char* HttpClient::HttpGet(const char* host, const char* path) {
  auto refuse = [this](const char* text, HttpState state = HttpState::kFailed) -> const char* {
    Fail(text, state);
    return nullptr;
  };
  EndReceiving();
  error_ = "";
  hasBody_ = false;
  bodyLength_ = 0;
  received_.store(0);
  if (!started_) return refuse(kHttpNotStarted);
  if (host == nullptr) host = "";
  if (path == nullptr) path = "";
  const size_t hostLength = std::strlen(host);
  const size_t pathLength = std::strlen(path);
  if (hostLength > 256 || pathLength > 256 || hostLength > kHttpTextMax) return refuse(kHttpTooLong);
  std::memcpy(host_, host, hostLength + 1);
  const int urlLength = std::snprintf(url_, sizeof url_, "http://%s/%s", host, path);
  if (urlLength < 0 || static_cast<size_t>(urlLength) > kHttpTextMax) {
    url_[0] = 0;
    return refuse(kHttpTooLong);
  }
  if (hostLength == 0 || !FitsRequestLine(host) || !FitsRequestLine(path)) return refuse(kHttpBadText);
  requestLength_ = static_cast<uint32_t>(std::snprintf(request_, kRequestBufferSize, kHttpRequestFormat, url_));

  // One bound for everything, the host look-up included: a silent name
  // server must not hold the window longer than a silent web server.
  const uint64_t deadlineUs = NowUs() + uint64_t{kHttpTimeoutMs} * 1000u;
  uint32_t address = 0;
  switch (LookUpBounded(sockets_, host_, deadlineUs, &address)) {
    case LookUp::kFound: break;
    case LookUp::kNotFound: return refuse(kHttpHostNotFound);
    case LookUp::kTimedOut: return refuse(kHttpTimedOut, HttpState::kTimedOut);
  }
  if (!Connect(address, deadlineUs) || !SendRequest(deadlineUs)) return nullptr;

  state_.store(static_cast<int>(HttpState::kReceiving));
  if (!StartWorkerThread(&thread_, ReceiveThread, this)) {
    EndReceiving();
    return refuse(kHttpNotReceived);
  }
  for (;;) {
    const HttpState state = State();
    if (state == HttpState::kFailed) {
      EndReceiving();
      error_ = threadError_;
      return nullptr;
    }
    if (state == HttpState::kComplete) break;
    if (NowUs() >= deadlineUs) {
      EndReceiving();
      return refuse(kHttpTimedOut, HttpState::kTimedOut);
    }
    os::SleepUs(kWaitStepUs);
  }
  EndReceiving();  // the thread has ended; this joins it and closes the socket
  if (!TakeBody()) return nullptr;
  return response_ + bodyOffset_;
}

char* HttpClient::TakeResponseBlock(uint32_t* length) {
  if (!hasBody_ || response_ == nullptr) {
    if (length) *length = 0;
    return nullptr;
  }
  std::memmove(response_, response_ + bodyOffset_, bodyLength_);
  response_[bodyLength_] = 0;
  char* block = response_;
  response_ = nullptr;
  started_ = false;  // no buffer to fetch into any more
  hasBody_ = false;
  if (length) *length = bodyLength_;
  return block;
}

const char* FindHttpBody(const char* response, uint32_t length, uint32_t* bodyOffset, uint32_t* bodyLength) {
  if (!StatusIsOk(response, length)) return kHttpNotOk;
  const ResponseHeaders headers = ReadHeaders(response, length);
  if (!headers.ended || headers.typeRefused) return kHttpNoBody;
  if (headers.lengthBad) return kHttpBadLength;
  uint32_t count = length - headers.bodyStart;
  if (headers.lengthGiven) {
    // A connection that broke off early still ends like a complete answer:
    // only the length the server announced tells a cut script or firmware.
    if (headers.contentLength > count) return kHttpShortBody;
    count = static_cast<uint32_t>(headers.contentLength);
  }
  *bodyOffset = headers.bodyStart;
  *bodyLength = count;
  return nullptr;
}

int HttpStatusCode(const char* response, uint32_t length) {
  const char* end = response + length;
  const char* p = response;
  if (length < 5 || std::memcmp(p, "HTTP/", 5) != 0) return 0;
  while (p < end && *p != ' ' && *p != '\n') ++p;
  if (end - p < 4 || *p != ' ') return 0;
  int code = 0;
  for (int i = 1; i <= 3; ++i) {
    if (p[i] < '0' || p[i] > '9') return 0;
    code = code * 10 + (p[i] - '0');
  }
  return code;
}

bool FindHttpHeader(const char* response, uint32_t length, const char* name, char* out, size_t size) {
  const ResponseHeaders headers = ReadHeaders(response, length);
  if (!headers.ended || size == 0) return false;
  const char* line = static_cast<const char*>(std::memchr(response, '\n', length)) + 1;
  const char* end = response + headers.bodyStart;
  while (line < end) {
    const char* newline = static_cast<const char*>(std::memchr(line, '\n', static_cast<size_t>(end - line)));
    const char* colon = static_cast<const char*>(std::memchr(line, ':', static_cast<size_t>(newline - line)));
    if (colon != nullptr) {
      size_t nameLength = static_cast<size_t>(colon - line);
      while (nameLength > 0 && IsBlank(line[nameLength - 1])) --nameLength;
      if (EqualsNoCase(line, nameLength, name)) {
        const char* value = colon + 1;
        const char* valueEnd = newline;
        if (valueEnd > value && valueEnd[-1] == '\r') --valueEnd;
        while (value < valueEnd && IsBlank(*value)) ++value;
        while (valueEnd > value && IsBlank(valueEnd[-1])) --valueEnd;
        const size_t valueLength = static_cast<size_t>(valueEnd - value);
        if (valueLength >= size) return false;
        std::memcpy(out, value, valueLength);
        out[valueLength] = 0;
        return true;
      }
    }
    line = newline + 1;
  }
  return false;
}

char* FetchText(const char* host, const char* path, uint32_t* length, SocketApi& sockets, const char** reason) {
  if (length) *length = 0;
  if (reason) *reason = "";
  HttpClient client(sockets);
  const char* body = client.HttpGet(host, path);
  if (reason) *reason = client.ErrorText();
  if (body == nullptr) return nullptr;
  const uint32_t bodyLength = client.BodyLength();
  if (bodyLength >= kCopyBodyBelow) return client.TakeResponseBlock(length);
  char* copy = static_cast<char*>(AllocMem(kMainPoolId, bodyLength + 1));
  if (copy == nullptr) return nullptr;
  std::memcpy(copy, body, bodyLength);
  copy[bodyLength] = 0;
  if (length) *length = bodyLength;
  return copy;
}
