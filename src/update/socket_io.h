#pragma once
// The sockets the HTTP client needs, behind one small seam: Winsock 1.1 in
// the product (socket_io_win32.cpp), BSD sockets natively (socket_io_posix.cpp).
// Tests derive from SocketApi to fail a step on purpose or to point the
// client's fixed port 80 at a test server's port.
//
// Time bounds: nothing here blocks longer than the time it is given, except
// LookUpIPv4, which blocks as long as the system's resolver does (the client
// runs it on a thread of its own for that reason).
#include <cstddef>
#include <cstdint>

using SocketHandle = intptr_t;
constexpr SocketHandle kNoSocket = -1;

class SocketApi {
 public:
  virtual ~SocketApi() = default;

  // Start-up of the socket library (WSAStartup 1.1); 0 or the platform's
  // error number. Every successful Start is matched by one Stop.
  virtual int Start();
  virtual void Stop();
  // What the product shows when Start fails: "WSAStartup failed. Error: %d"
  // in a box captioned "Error" without an owner (natively: standard error).
  virtual void ReportStartFailure(int error);

  // The first IPv4 address of a host name, in network byte order; false when
  // the name is not known. Blocking.
  virtual bool LookUpIPv4(const char* host, uint32_t* address);

  // A TCP stream socket, non-blocking; kNoSocket on failure.
  virtual SocketHandle Open();
  // Starts connecting to address:port (network byte order address, host
  // byte order port). 1 connected, 0 under way (wait with WaitWritable,
  // then ask ConnectResult), -1 failed.
  virtual int StartConnect(SocketHandle socket, uint32_t address, uint16_t port);
  // True when a connection that was under way has succeeded.
  virtual bool ConnectResult(SocketHandle socket);
  // Waits at most ms: 1 ready, 0 not yet, -1 error.
  virtual int WaitReadable(SocketHandle socket, uint32_t ms);
  virtual int WaitWritable(SocketHandle socket, uint32_t ms);
  // Bytes sent, or -1 (nothing could be sent now counts as 0).
  virtual long Send(SocketHandle socket, const void* data, size_t count);
  // Bytes received; 0 when the peer closed; -1 on error; kReceiveWouldBlock
  // when nothing is waiting.
  static constexpr long kReceiveWouldBlock = -2;
  virtual long Receive(SocketHandle socket, void* data, size_t count);
  virtual void Close(SocketHandle socket);
};

// The platform's sockets.
SocketApi& SystemSockets();

// A dotted IPv4 address ("127.0.0.1", four decimal numbers 0..255) in network
// byte order; false for anything else, so host names go to the resolver.
bool ParseDottedIPv4(const char* text, uint32_t* address);
