// Fuzz target: the HTTP client against a server whose answer is the input,
// and what a body then goes through: the online script's keys (sections
// "SERVER" and "UPDATE") and the download address and firmware name rules.
// The answer arrives in pieces (the first byte of the input sets their size)
// over a socket that closes after the last; the host is a dotted address so
// no name is looked up. A body must lie inside what arrived, behind the
// headers, and come only with status 200; every pool block goes back.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "exec/memory.h"
#include "fuzz_runtime.h"
#include "update/http_client.h"
#include "update/socket_io.h"
#include "update/updater.h"

namespace {


// A server that has its answer ready: every receive hands out the next
// piece, then the connection closes.
class AnswerSockets : public SocketApi {
 public:
  const uint8_t* answer = nullptr;
  size_t length = 0;
  size_t piece = 1;
  size_t sent = 0;

  int Start() override { return 0; }
  void Stop() override {}
  void ReportStartFailure(int) override {}
  bool LookUpIPv4(const char*, uint32_t*) override { __builtin_trap(); }  // dotted hosts only
  SocketHandle Open() override { return 5; }
  int StartConnect(SocketHandle, uint32_t, uint16_t port) override { return port == 80 ? 1 : -1; }
  bool ConnectResult(SocketHandle) override { return true; }
  int WaitReadable(SocketHandle, uint32_t) override { return 1; }
  int WaitWritable(SocketHandle, uint32_t) override { return 1; }
  long Send(SocketHandle, const void*, size_t count) override { return static_cast<long>(count); }
  long Receive(SocketHandle, void* data, size_t count) override {
    size_t n = length - sent;
    if (n > piece) n = piece;
    if (n > count) n = count;
    memcpy(data, answer + sent, n);
    sent += n;
    return static_cast<long>(n);  // 0 once everything went: the server closed
  }
  void Close(SocketHandle) override {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (!StartRuntimeOnce(0x1000000) || size == 0) return 0;
  const uint64_t available = AvailPoolMem();
  AnswerSockets sockets;
  sockets.piece = 1 + data[0] * 37u;
  sockets.answer = data + 1;
  sockets.length = size - 1;
  {
    HttpClient client(sockets);
    const char* body = client.HttpGet("127.0.0.1", "ts_servers.ini");
    if (body != nullptr) {
      const uint32_t length = client.BodyLength();
      const char* start = reinterpret_cast<const char*>(sockets.answer);
      const char* end = start + sockets.length;
      (void)end;
      if (length > sockets.length) __builtin_trap();
      if (memcmp(start, "HTTP/", 5) != 0) __builtin_trap();  // a status line there was
      if (length > 0 && memmem(start + 5, sockets.length - 5, body, length) == nullptr) __builtin_trap();
      UpdateServerRecord record;
      ParseOnlineScript("ts_servers.ini", body, length, &record);
      if (strlen(record.toolUrl) >= sizeof record.toolUrl || strlen(record.firmwarePath) >= sizeof record.firmwarePath) {
        __builtin_trap();
      }
      IsDownloadUrl(record.toolUrl);
      IsPlainFirmwareName(record.firmwarePath);
    } else if (client.ErrorText()[0] == '\0') {
      __builtin_trap();  // no body must say why
    }
  }
  if (AvailPoolMem() != available) __builtin_trap();
  return 0;
}
