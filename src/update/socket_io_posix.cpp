// BSD sockets for the native build (tests, tools, benchmarks).
#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "update/socket_io.h"

namespace {

int Wait(SocketHandle socket, short events, uint32_t ms) {
  pollfd p{static_cast<int>(socket), events, 0};
  const int got = poll(&p, 1, static_cast<int>(ms));
  if (got < 0) return errno == EINTR ? 0 : -1;
  if (got == 0) return 0;
  if (p.revents & POLLNVAL) return -1;
  // An error or hang-up is "ready": the next call says what happened.
  return 1;
}

}  // namespace

int SocketApi::Start() { return 0; }
void SocketApi::Stop() {}

void SocketApi::ReportStartFailure(int error) {
  std::fprintf(stderr, "WSAStartup failed. Error: %d\n", error);
}

bool SocketApi::LookUpIPv4(const char* host, uint32_t* address) {
  addrinfo hints{};
  hints.ai_family = AF_INET;
  hints.ai_socktype = SOCK_STREAM;
  addrinfo* found = nullptr;
  if (getaddrinfo(host, nullptr, &hints, &found) != 0 || found == nullptr) return false;
  const sockaddr_in* first = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
  if (address) *address = first->sin_addr.s_addr;
  freeaddrinfo(found);
  return true;
}

SocketHandle SocketApi::Open() {
  const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  return fd < 0 ? kNoSocket : fd;
}

int SocketApi::StartConnect(SocketHandle socket, uint32_t address, uint16_t port) {
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(port);
  to.sin_addr.s_addr = address;
  if (::connect(static_cast<int>(socket), reinterpret_cast<const sockaddr*>(&to), sizeof to) == 0) return 1;
  return errno == EINPROGRESS || errno == EINTR ? 0 : -1;
}

bool SocketApi::ConnectResult(SocketHandle socket) {
  int error = 0;
  socklen_t size = sizeof error;
  if (getsockopt(static_cast<int>(socket), SOL_SOCKET, SO_ERROR, &error, &size) != 0) return false;
  return error == 0;
}

int SocketApi::WaitReadable(SocketHandle socket, uint32_t ms) { return Wait(socket, POLLIN, ms); }
int SocketApi::WaitWritable(SocketHandle socket, uint32_t ms) { return Wait(socket, POLLOUT, ms); }

long SocketApi::Send(SocketHandle socket, const void* data, size_t count) {
  const ssize_t sent = ::send(static_cast<int>(socket), data, count, MSG_NOSIGNAL);
  if (sent >= 0) return static_cast<long>(sent);
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? 0 : -1;
}

long SocketApi::Receive(SocketHandle socket, void* data, size_t count) {
  const ssize_t got = ::recv(static_cast<int>(socket), data, count, 0);
  if (got >= 0) return static_cast<long>(got);
  return errno == EAGAIN || errno == EWOULDBLOCK || errno == EINTR ? kReceiveWouldBlock : -1;
}

void SocketApi::Close(SocketHandle socket) {
  if (socket != kNoSocket) ::close(static_cast<int>(socket));
}

SocketApi& SystemSockets() {
  static SocketApi sockets;
  return sockets;
}
