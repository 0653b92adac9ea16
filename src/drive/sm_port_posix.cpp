// termios device under the RS485 port slots: the same contract and time
// bounds as the Windows one, on any tty or pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <new>

#include "drive/sm_port.h"
#include "drive/sm_port_paths_posix.h"
#include "exec/com_port_paths_posix.h"
#include "exec/deadline.h"
#include "exec/os.h"

namespace {

// Waits until fd is ready for events or the deadline passes; false on
// time-out. Hang-ups and errors count as ready: the call that follows
// reports them.
bool WaitFd(int fd, short events, const Deadline& deadline) {
  for (;;) {
    const uint64_t now = os::MonotonicUs();
    if (deadline.Passed(now)) return false;
    const uint64_t left = deadline.RemainingUs(now);
    timespec wait{static_cast<time_t>(left / 1000000u), static_cast<long>(left % 1000000u) * 1000L};
    pollfd p{fd, events, 0};
    const int r = ppoll(&p, 1, &wait, nullptr);
    if (r > 0) return true;
    if (r < 0 && errno != EINTR) return true;
  }
}

class PosixSmPortDevice : public SmPortDevice {
 public:
  SmOpenResult Open(const char* name, uint16_t, intptr_t* handle) override {
    char path[512];
    if (!SmPortDevicePath(name, path, sizeof path)) return SmOpenResult::kNoDevice;
    const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return SmOpenResult::kNoDevice;
    // Not shared, as on Windows; TIOCEXCL does not stop root, the lock does.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
      ::close(fd);
      return SmOpenResult::kNoDevice;
    }
    ioctl(fd, TIOCEXCL);

    // 460800 8N1, raw, no flow control. Read time-outs are not termios'
    // business here: ReadByte bounds each read with poll.
    termios tio{};
    if (tcgetattr(fd, &tio) != 0 || cfsetspeed(&tio, B460800) != 0) {
      CloseComPort(fd);
      return SmOpenResult::kBadLineMode;
    }
    cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | PARMRK);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (tcsetattr(fd, TCSANOW, &tio) != 0) {
      CloseComPort(fd);
      return SmOpenResult::kLineRefused;
    }
    *handle = fd;
    return SmOpenResult::kOpened;
  }

  int32_t Write(intptr_t handle, const uint8_t* data, int32_t count) override {
    const int fd = static_cast<int>(handle);
    const Deadline deadline = Deadline::After(
        os::MonotonicUs(), (uint64_t(count) * kSmWritePerByteMs + kSmWriteConstantMs) * 1000u);
    int32_t done = 0;
    while (done < count) {
      const ssize_t n = ::write(fd, data + done, static_cast<size_t>(count - done));
      if (n > 0) {
        done += static_cast<int32_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return -1;  // EIO: the device is gone
      if (!WaitFd(fd, POLLOUT, deadline)) break;
    }
    return done;
  }

  bool ReadByte(intptr_t handle, uint16_t readTimeoutMs, uint8_t* byte) override {
    const int fd = static_cast<int>(handle);
    const Deadline deadline = Deadline::After(os::MonotonicUs(), uint64_t(readTimeoutMs) * 1000u);
    bool hungUp = false;
    for (;;) {
      const ssize_t n = ::read(fd, byte, 1);
      if (n == 1) return true;
      if (n < 0 && errno == EINTR) continue;
      // EIO: the other side is gone (a pulled adapter, a closed terminal).
      if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return false;
      // Nothing yet: a tty in raw mode with no minimum answers 0 for that,
      // and so does a line that hung up, which poll then keeps reporting.
      if (hungUp) return false;
      const uint64_t now = os::MonotonicUs();
      if (deadline.Passed(now)) return false;
      const uint64_t left = deadline.RemainingUs(now);
      timespec wait{static_cast<time_t>(left / 1000000u), static_cast<long>(left % 1000000u) * 1000L};
      pollfd p{fd, POLLIN, 0};
      const int r = ppoll(&p, 1, &wait, nullptr);
      if (r == 0) return false;
      if (r < 0 && errno != EINTR) return false;
      if (r > 0 && (p.revents & POLLIN) == 0) return false;
      hungUp = r > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
    }
  }

  void DiscardInput(intptr_t handle) override { tcflush(static_cast<int>(handle), TCIFLUSH); }

  void Close(intptr_t handle) override { CloseComPort(static_cast<int>(handle)); }
};

// "COM<n>" with n = 1..255 and nothing after it; 0 otherwise.
int ComPortNumber(const char* name) {
  if (std::strncmp(name, "COM", 3) != 0) return 0;
  const char* digits = name + 3;
  if (*digits < '1' || *digits > '9') return 0;
  char* end = nullptr;
  const long n = std::strtol(digits, &end, 10);
  return *end == '\0' && n >= 1 && n <= 255 ? static_cast<int>(n) : 0;
}

}  // namespace

bool SmPortDevicePath(const char* name, char* out, size_t size) {
  if (std::strncmp(name, "/dev/tty", 8) != 0) {
    const int port = ComPortNumber(name);
    return port != 0 && ComPortPath(static_cast<uint8_t>(port), "/dev/ttyUSB", out, size);
  }
  const int n = std::snprintf(out, size, "%s", name);
  return n >= 0 && static_cast<size_t>(n) < size;
}

SmPortDevice& PlatformSmPortDevice() {
  // Never destroyed: a port still open at exit (the drive link of the static
  // ControlPanel, made before this object) is closed through it after the
  // function-local statics made later are gone. Placed in static storage, as
  // operator new goes to the runtime's pools while they exist.
  alignas(PosixSmPortDevice) static unsigned char storage[sizeof(PosixSmPortDevice)];
  static SmPortDevice* device = new (storage) PosixSmPortDevice;
  return *device;
}
