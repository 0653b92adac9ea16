// termios backend of the serial channel: same contract and time bounds as the
// Windows one, on any tty or pseudo-terminal.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "exec/com_port_paths_posix.h"
#include "exec/deadline.h"
#include "exec/os.h"
#include "wheel/serial_channel.h"

namespace {

speed_t SpeedFor(uint32_t baud, bool* known) {
  *known = true;
  switch (baud) {
    case 1200: return B1200;
    case 2400: return B2400;
    case 4800: return B4800;
    case 9600: return B9600;
    case 19200: return B19200;
    case 38400: return B38400;
    case 57600: return B57600;
    case 115200: return B115200;
    case 230400: return B230400;
    case 460800: return B460800;
    case 921600: return B921600;
    default: *known = false; return B115200;
  }
}

// Waits for fd to become readable (or writable) until the deadline; false on
// time-out. Hang-ups and errors count as ready: the read or write that follows
// reports them.
bool WaitFd(int fd, short events, const Deadline& deadline) {
  for (;;) {
    uint64_t now = os::MonotonicUs();
    if (deadline.Passed(now)) return false;
    uint64_t left = deadline.RemainingUs(now);
    timespec wait{static_cast<time_t>(left / 1000000u), static_cast<long>(left % 1000000u) * 1000L};
    pollfd p{fd, events, 0};
    int r = ppoll(&p, 1, &wait, nullptr);
    if (r > 0) return true;
    if (r < 0 && errno != EINTR) return true;
  }
}

}  // namespace

SerialChannel::~SerialChannel() {
  Purge();
  if (IsOpen()) CloseComPort(static_cast<int>(handle_));
  handle_ = kInvalidHandle;
}

int SerialChannel::Open(uint32_t port, uint32_t baud) {
  char path[512];
  if (IsOpen()) Close();
  if (!ComPortPath(static_cast<uint8_t>(port % 256), "/dev/ttyS", path, sizeof path)) return 0;
  int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  if (fd < 0) return 0;
  // Not shared: a second opener (another program, or FillComPortList probing a
  // port that is in use) must fail like it does on Windows. TIOCEXCL does not
  // stop root, the lock does.
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd);
    return 0;
  }
  ioctl(fd, TIOCEXCL);

  // Line settings; like on Windows their results are not checked, so a plain
  // file or a device without termios still opens.
  termios tio{};
  if (tcgetattr(fd, &tio) == 0) {
    cfmakeraw(&tio);
    tio.c_iflag &= ~static_cast<tcflag_t>(IXON | IXOFF | IXANY | INPCK | PARMRK);
    tio.c_cflag &= ~static_cast<tcflag_t>(CSIZE | PARENB | CSTOPB | CRTSCTS);
    tio.c_cflag |= CS8 | CREAD | CLOCAL;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    bool known = false;
    speed_t speed = SpeedFor(baud, &known);
    if (known) cfsetspeed(&tio, speed);
    tcsetattr(fd, TCSANOW, &tio);
  }
  int dtr = TIOCM_DTR, rts = TIOCM_RTS;
  ioctl(fd, TIOCMBIS, &dtr);
  ioctl(fd, TIOCMBIC, &rts);
  handle_ = fd;
  return 1;
}

int SerialChannel::Close() {
  Purge();
  if (!IsOpen()) return -1;
  int result = CloseComPort(static_cast<int>(handle_));
  handle_ = kInvalidHandle;
  return result;
}

uint32_t SerialChannel::Write(const void* data, uint32_t count) {
  if (!IsOpen() || data == nullptr) return 0;
  int fd = static_cast<int>(handle_);
  const uint8_t* bytes = static_cast<const uint8_t*>(data);
  Deadline deadline = Deadline::After(
      os::MonotonicUs(), (uint64_t{count} * kSerialWritePerByteMs + kSerialWriteConstantMs) * 1000u);
  uint32_t done = 0;
  while (done < count) {
    ssize_t n = ::write(fd, bytes + done, count - done);
    if (n > 0) {
      done += static_cast<uint32_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) {
      // The device is gone (EIO after a hang-up): close so the callers notice.
      Close();
      break;
    }
    if (!WaitFd(fd, POLLOUT, deadline)) break;
  }
  return done;
}

uint32_t SerialChannel::Read(void* data, uint32_t count) {
  if (!IsOpen() || data == nullptr) return 0;
  int fd = static_cast<int>(handle_);
  uint8_t* bytes = static_cast<uint8_t*>(data);
  uint32_t total = 0;
  for (int attempt = 0; total < count && attempt < kSerialReadAttempts; ++attempt) {
    // One attempt: what a ReadFile with the channel's time-outs does.
    uint32_t missing = count - total;
    Deadline whole = Deadline::After(
        os::MonotonicUs(), (uint64_t{missing} * kSerialReadPerByteMs + kSerialReadConstantMs) * 1000u);
    uint32_t got = 0;
    while (got < missing) {
      ssize_t n = ::read(fd, bytes + total + got, missing - got);
      if (n > 0) {
        got += static_cast<uint32_t>(n);
        // Between bytes the interval time-out applies as well.
        Deadline gap = Deadline::After(os::MonotonicUs(), kSerialReadIntervalMs * 1000u);
        if (gap.endUs < whole.endUs) whole = gap;
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) break;  // hung up or failed
      if (!WaitFd(fd, POLLIN, whole)) break;
    }
    total += got;
  }
  return total;
}

uint32_t SerialChannel::BytesAvailable() {
  if (!IsOpen()) return 0;
  int waiting = 0;
  if (ioctl(static_cast<int>(handle_), FIONREAD, &waiting) != 0) {
    // The status query only fails on a dead port (hung-up pseudo-terminal,
    // removed USB device): close it so the next refresh probes again.
    Close();
    return 0;
  }
  return waiting > 0 ? static_cast<uint32_t>(waiting) : 0;
}

void SerialChannel::Purge() {
  if (!IsOpen()) return;
  tcflush(static_cast<int>(handle_), TCIOFLUSH);
}

void SerialChannel::SetLines(bool on) {
  if (!IsOpen()) return;
  int fd = static_cast<int>(handle_);
  int lines = TIOCM_DTR | TIOCM_RTS;
  // A pseudo-terminal has no modem lines: these fail there, which is harmless.
  ioctl(fd, on ? TIOCMBIS : TIOCMBIC, &lines);
  ioctl(fd, on ? TIOCCBRK : TIOCSBRK);
}

bool SerialChannel::WaitForInput(uint32_t maxUs) {
  if (!IsOpen()) return false;
  // One poll and nothing else: the callers look at BytesAvailable right
  // after, which also notices a port that hung up.
  pollfd p{static_cast<int>(handle_), POLLIN, 0};
  timespec wait{static_cast<time_t>(maxUs / 1000000u), static_cast<long>(maxUs % 1000000u) * 1000L};
  return ppoll(&p, 1, &wait, nullptr) > 0 && (p.revents & POLLIN) != 0;
}
