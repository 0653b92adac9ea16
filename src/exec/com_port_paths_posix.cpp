#include "exec/com_port_paths_posix.h"

#include <sys/ioctl.h>
#include <unistd.h>

#include <cstdio>
#include <mutex>
#include <string>

namespace {

std::mutex gPathsLock;
std::string gPortPaths[256];
std::string gPortDirectory;

}  // namespace

void SetComPortPath(uint8_t port, const char* path) {
  std::lock_guard<std::mutex> lock(gPathsLock);
  gPortPaths[port] = path ? path : "";
}

void SetComPortDirectory(const char* directory) {
  std::lock_guard<std::mutex> lock(gPathsLock);
  gPortDirectory = directory ? directory : "";
}

bool ComPortPath(uint8_t port, const char* family, char* out, size_t size) {
  std::lock_guard<std::mutex> lock(gPathsLock);
  int n;
  if (!gPortPaths[port].empty()) {
    n = std::snprintf(out, size, "%s", gPortPaths[port].c_str());
  } else if (!gPortDirectory.empty()) {
    n = std::snprintf(out, size, "%s/COM%d", gPortDirectory.c_str(), port);
  } else {
    n = std::snprintf(out, size, "%s%d", family, port - 1);
  }
  return n >= 0 && static_cast<size_t>(n) < size;
}

int CloseComPort(int fd) {
  ioctl(fd, TIOCNXCL);
  return close(fd);
}
