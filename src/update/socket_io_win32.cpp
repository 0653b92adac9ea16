// Winsock 1.1 for the product: only calls that version has (socket, connect,
// select, send, recv, ioctlsocket, gethostbyname, closesocket).
#include <winsock2.h>
#include <windows.h>

#include <cstdio>

#include "update/socket_io.h"

namespace {

SOCKET AsSocket(SocketHandle handle) { return static_cast<SOCKET>(handle); }

// select() with a time bound; writable also counts a failed connect, which
// Winsock reports in the exception set rather than the write set.
int Wait(SocketHandle handle, bool forWrite, uint32_t ms) {
  fd_set ready;
  fd_set failed;
  FD_ZERO(&ready);
  FD_ZERO(&failed);
  FD_SET(AsSocket(handle), &ready);
  FD_SET(AsSocket(handle), &failed);
  timeval wait{static_cast<long>(ms / 1000), static_cast<long>((ms % 1000) * 1000)};
  const int got = select(0, forWrite ? nullptr : &ready, forWrite ? &ready : nullptr, &failed, &wait);
  if (got == SOCKET_ERROR) return -1;
  return got > 0 ? 1 : 0;
}

}  // namespace

int SocketApi::Start() {
  WSADATA data;
  return WSAStartup(MAKEWORD(1, 1), &data);
}

void SocketApi::Stop() { WSACleanup(); }

void SocketApi::ReportStartFailure(int error) {
  char text[64];
  std::snprintf(text, sizeof text, "WSAStartup failed. Error: %d", error);
  MessageBoxA(nullptr, text, "Error", MB_OK);
}

bool SocketApi::LookUpIPv4(const char* host, uint32_t* address) {
  const hostent* found = gethostbyname(host);
  if (found == nullptr || found->h_addrtype != AF_INET || found->h_addr_list == nullptr ||
      found->h_addr_list[0] == nullptr) {
    return false;
  }
  uint32_t first;
  memcpy(&first, found->h_addr_list[0], sizeof first);
  if (address) *address = first;
  return true;
}

SocketHandle SocketApi::Open() {
  SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
  if (s == INVALID_SOCKET) return kNoSocket;
  u_long nonBlocking = 1;
  if (ioctlsocket(s, FIONBIO, &nonBlocking) != 0) {
    closesocket(s);
    return kNoSocket;
  }
  return static_cast<SocketHandle>(s);
}

int SocketApi::StartConnect(SocketHandle handle, uint32_t address, uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = address;
  if (connect(AsSocket(handle), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 1;
  return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

bool SocketApi::ConnectResult(SocketHandle handle) {
  int error = 0;
  int size = sizeof error;
  if (getsockopt(AsSocket(handle), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &size) != 0) {
    return false;
  }
  return error == 0;
}

int SocketApi::WaitReadable(SocketHandle handle, uint32_t ms) { return Wait(handle, false, ms); }
int SocketApi::WaitWritable(SocketHandle handle, uint32_t ms) { return Wait(handle, true, ms); }

long SocketApi::Send(SocketHandle handle, const void* data, size_t count) {
  const int sent = send(AsSocket(handle), static_cast<const char*>(data), static_cast<int>(count), 0);
  if (sent != SOCKET_ERROR) return sent;
  return WSAGetLastError() == WSAEWOULDBLOCK ? 0 : -1;
}

long SocketApi::Receive(SocketHandle handle, void* data, size_t count) {
  const int got = recv(AsSocket(handle), static_cast<char*>(data), static_cast<int>(count), 0);
  if (got != SOCKET_ERROR) return got;
  return WSAGetLastError() == WSAEWOULDBLOCK ? kReceiveWouldBlock : -1;
}

void SocketApi::Close(SocketHandle handle) {
  if (handle != kNoSocket) closesocket(AsSocket(handle));
}

SocketApi& SystemSockets() {
  static SocketApi sockets;
  return sockets;
}
