// The stand-in board behind a pseudo-terminal: one thread that polls the
// master side, feeds the board model and sends its replies when they are due.
#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <sstream>
#include <thread>

#include "exec/deadline.h"
#include "exec/os.h"
#include "standin_board/standin_host_posix.h"

namespace {

constexpr uint32_t kIdlePollMs = 50;
// While nobody has the slave open the master reports a hang-up at once, so
// that state is looked at on a short period instead of in poll.
constexpr uint32_t kClosedPollUs = 2000;
constexpr size_t kMaxTranscriptLines = 200000;
constexpr uint64_t kExitGraceUs = 1000 * 1000;

int BaudOf(speed_t speed) {
  switch (speed) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    default: return 0;
  }
}

struct Output {
  uint64_t dueUs;
  std::vector<uint8_t> bytes;
};

struct Request {
  std::string line;
  bool done = false;
  bool ok = false;
  std::string error;
};

}  // namespace

struct StandinHost::State {
  StandinHostOptions options;
  std::mutex lock;
  std::condition_variable changed;
  StandinBoard board;
  StandinBootloader bootloader;
  bool inBootloader = false;
  uint64_t bootloaderQuietSince = 0;
  uint64_t bootloaderExitAt = 0;  // when "E" was answered; 0 before
  int master = -1;
  std::string slavePath;
  int wake[2] = {-1, -1};
  int controlFd = -1;
  bool ownsControlFd = false;
  std::string controlBuffer;
  std::thread thread;
  bool started = false;
  bool stop = false;
  bool quit = false;
  bool connected = false;
  int connectedBaud = 0;
  int resets = 0;
  std::deque<Output> outputs;
  std::deque<Request*> requests;
  FILE* transcript = nullptr;
  std::vector<std::string> lines;
  uint64_t startUs = 0;
  uint64_t nextReportUs = 0;

  // --- all below run with the lock held
  void Log(char direction, const uint8_t* bytes, size_t count, const std::string& text) {
    std::ostringstream line;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%.6f", (os::MonotonicUs() - startUs) / 1e6);
    line << stamp << ' ' << direction;
    for (size_t i = 0; i < count; ++i) {
      char hex[4];
      std::snprintf(hex, sizeof hex, " %02x", bytes[i]);
      line << hex;
    }
    if (!text.empty()) line << "  " << text;
    const std::string s = line.str();
    if (transcript) {
      std::fprintf(transcript, "%s\n", s.c_str());
      std::fflush(transcript);
    }
    if (options.echo) std::fprintf(stderr, "%s\n", s.c_str());
    if (lines.size() < kMaxTranscriptLines) lines.push_back(s);
  }

  void Event(const std::string& text) { Log('#', nullptr, 0, text); }

  bool OpenTerminal() { return OpenTerminal(options.link); }

  bool OpenTerminal(const std::string& link) {
    int fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0) return false;
    char name[128];
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
      close(fd);
      return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    ResetLine(fd);
    // The master reports a hang-up only once a slave has been closed; open and
    // close it once so "nobody has it open" looks the same from the start.
    int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) close(slave);
    if (!link.empty()) {
      // Replace the link in one step so an opener never finds it missing.
      const std::string temporary = link + ".new";
      unlink(temporary.c_str());
      if (symlink(name, temporary.c_str()) != 0 || rename(temporary.c_str(), link.c_str()) != 0) {
        std::fprintf(stderr, "standin_board: cannot link %s to %s: %s\n", link.c_str(), name,
                     std::strerror(errno));
        close(fd);
        return false;
      }
    }
    master = fd;
    slavePath = name;
    connected = false;
    return true;
  }

  // Raw 8N1 at 115200, what the board's USB port looks like after a reset.
  static void ResetLine(int fd) {
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) return;
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    cfsetspeed(&tio, B115200);
    tcsetattr(fd, TCSANOW, &tio);
  }

  int LineBaud() {
    termios tio{};
    if (master < 0 || tcgetattr(master, &tio) != 0) return 0;
    return BaudOf(cfgetospeed(&tio));
  }

  void BootloaderReset() {
    ++resets;
    Event("1200-baud open: bootloader reset");
    board.Restart();
    outputs.clear();
    if (options.bootloaderLink.empty()) {
      ResetLine(master);
      return;
    }
    EnterBootloader();
  }

  // The board's port goes away and the bootloader's appears.
  void EnterBootloader() {
    close(master);
    master = -1;
    if (!options.link.empty()) unlink(options.link.c_str());
    Event("the board left " + slavePath);
    slavePath.clear();
    if (!OpenTerminal(options.bootloaderLink)) {
      Event("no pseudo-terminal for the bootloader: back as the board");
      Back(nullptr);
      return;
    }
    inBootloader = true;
    bootloader.StartSession();
    bootloaderQuietSince = os::MonotonicUs();
    Event("bootloader on " + slavePath);
  }

  void LeaveBootloader(const char* why) {
    const uint32_t written = bootloader.BytesWritten();
    close(master);
    master = -1;
    unlink(options.bootloaderLink.c_str());
    inBootloader = false;
    connected = false;
    outputs.clear();
    Event(std::string("bootloader left (") + why + "), " + std::to_string(written) + " bytes of flash written" +
          (bootloader.BytesRefused() ? ", " + std::to_string(bootloader.BytesRefused()) + " refused" : ""));
    if (!OpenTerminal()) {
      Event("no pseudo-terminal for the board");
      return;
    }
    board.Restart();
    if (written > 0) {
      // New firmware starts from its own defaults.
      board.RestoreDefaults();
      if (options.flashedVersion != 0) board.SetVersion(options.flashedVersion);
    }
    Event("back as the board on " + slavePath);
  }

  void Drop() {
    if (master < 0) return;
    close(master);
    master = -1;
    if (!options.link.empty()) unlink(options.link.c_str());
    connected = false;
    outputs.clear();
    slavePath.clear();
    Event("dropped out");
  }

  bool Back(std::string* error) {
    if (master >= 0) return true;
    if (!OpenTerminal()) {
      if (error) *error = "cannot open a pseudo-terminal";
      return false;
    }
    board.Restart();
    Event("back on " + slavePath);
    return true;
  }

  void Send(std::vector<uint8_t> bytes, uint32_t delayMs) {
    outputs.push_back(Output{os::MonotonicUs() + uint64_t{delayMs} * 1000u, std::move(bytes)});
  }

  bool Apply(const std::string& line, std::string* error) {
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    long long n = 0;
    if (verb == "bootloader-ms") {
      if (!(in >> n) || n < 0 || n > 3600000) {
        if (error) *error = "expected milliseconds: " + line;
        return false;
      }
      options.bootloaderMs = static_cast<uint32_t>(n);
      return true;
    }
    if (verb == "flashed-version") {
      std::string v;
      unsigned major = 0, minor = 0;
      char extra = 0;
      if (!(in >> v) || std::sscanf(v.c_str(), "%u.%u%c", &major, &minor, &extra) != 2 || major > 255 ||
          minor > 255) {
        if (error) *error = "expected MAJOR.MINOR: " + line;
        return false;
      }
      options.flashedVersion = (major << 8) | minor;
      return true;
    }
    if (verb == "late" || verb == "report" || verb == "flood") {
      if (!(in >> n) || n < 0 || n > 10000000) {
        if (error) *error = "expected a number: " + line;
        return false;
      }
      if (verb == "late") options.replyDelayMs = static_cast<uint32_t>(n);
      if (verb == "report") options.reportPeriodMs = static_cast<uint32_t>(n);
      if (verb == "flood") {
        std::vector<uint8_t> junk;
        uint32_t seed = 777;
        StandinBoard::MakeNoise(static_cast<uint32_t>(n), &seed, &junk);
        Log('>', nullptr, 0, "flood of " + std::to_string(n) + " junk bytes");
        Send(std::move(junk), 0);
      }
      return true;
    }
    if (verb == "send") {
      std::vector<uint8_t> bytes;
      if (!ParseByteList(line.substr(line.find("send") + 4), &bytes)) {
        if (error) *error = "expected bytes: " + line;
        return false;
      }
      Log('>', bytes.data(), bytes.size(), "sent on request");
      Send(std::move(bytes), 0);
      return true;
    }
    if (verb == "drop") {
      Drop();
      return true;
    }
    if (verb == "back") return Back(error);
    if (verb == "quit") {
      quit = true;
      changed.notify_all();
      return true;
    }
    return board.Control(line, error);
  }

  void ReadMaster() {
    uint8_t buffer[4096];
    for (;;) {
      ssize_t got = read(master, buffer, sizeof buffer);
      if (got <= 0) return;
      std::vector<uint8_t> reply;
      if (inBootloader) {
        bootloaderQuietSince = os::MonotonicUs();
        bootloader.Receive(buffer, static_cast<size_t>(got), &reply);
        if (!reply.empty()) Send(std::move(reply), 0);
        continue;
      }
      board.Receive(buffer, static_cast<size_t>(got), &reply);
      if (!reply.empty()) Send(std::move(reply), options.replyDelayMs);
    }
  }

  void WatchLine() {
    if (master < 0) return;
    pollfd p{master, POLLIN, 0};
    poll(&p, 1, 0);
    const bool hungUp = (p.revents & POLLHUP) != 0;
    if (!hungUp && !connected) {
      connected = true;
      connectedBaud = LineBaud();
      Event("opened at " + std::to_string(connectedBaud) + " baud");
    }
    if (p.revents & POLLIN) ReadMaster();
    if (inBootloader) {
      if (hungUp && connected) {
        connected = false;
        Event("closed");
      }
      return;
    }
    if (hungUp && connected) {
      connected = false;
      outputs.clear();
      Event("closed");
      if (connectedBaud == 1200 || LineBaud() == 1200) BootloaderReset();
    } else if (hungUp && LineBaud() == 1200) {
      // Opened at 1200 baud and closed again between two looks.
      Event("opened at 1200 baud and closed");
      BootloaderReset();
    } else if (connected) {
      const int baud = LineBaud();
      if (baud != connectedBaud) {
        connectedBaud = baud;
        Event("line set to " + std::to_string(baud) + " baud");
      }
    }
  }

  void Flush() {
    const uint64_t now = os::MonotonicUs();
    while (!outputs.empty() && outputs.front().dueUs <= now) {
      if (master < 0 || !connected) {
        outputs.clear();
        return;
      }
      Output& out = outputs.front();
      ssize_t put = write(master, out.bytes.data(), out.bytes.size());
      if (put < 0) {
        if (errno == EAGAIN || errno == EINTR) return;  // full: the program is not reading
        outputs.clear();
        return;
      }
      out.bytes.erase(out.bytes.begin(), out.bytes.begin() + put);
      if (!out.bytes.empty()) return;
      outputs.pop_front();
    }
  }

  void ReadControl() {
    char buffer[512];
    for (;;) {
      ssize_t got = read(controlFd, buffer, sizeof buffer);
      if (got <= 0) return;
      controlBuffer.append(buffer, static_cast<size_t>(got));
      size_t end;
      while ((end = controlBuffer.find('\n')) != std::string::npos) {
        std::string line = controlBuffer.substr(0, end);
        controlBuffer.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::string error;
        Event("control: " + line);
        if (!Apply(line, &error)) Event("control refused: " + error);
      }
    }
  }

  void Loop() {
    std::unique_lock<std::mutex> held(lock);
    while (!stop) {
      while (!requests.empty()) {
        Request* r = requests.front();
        requests.pop_front();
        r->ok = Apply(r->line, &r->error);
        r->done = true;
      }
      changed.notify_all();

      uint64_t now = os::MonotonicUs();
      uint64_t waitUs = connected ? kIdlePollMs * 1000u : kClosedPollUs;
      if (!outputs.empty()) {
        const uint64_t due = outputs.front().dueUs;
        waitUs = std::min<uint64_t>(waitUs, due > now ? due - now : 0);
      }
      if (inBootloader) {
        const uint64_t quietEnd = bootloaderQuietSince + options.bootloaderMs * 1000ull;
        waitUs = std::min<uint64_t>(waitUs, quietEnd > now ? quietEnd - now : 0);
      }
      const bool reporting = !inBootloader && connected && options.reportPeriodMs > 0 && board.ReportsEnabled();
      if (reporting) {
        if (nextReportUs == 0) nextReportUs = now + options.reportPeriodMs * 1000ull;
        waitUs = std::min<uint64_t>(waitUs, nextReportUs > now ? nextReportUs - now : 0);
      } else {
        nextReportUs = 0;
      }

      pollfd fds[3];
      nfds_t count = 0;
      fds[count++] = pollfd{wake[0], POLLIN, 0};
      if (controlFd >= 0) fds[count++] = pollfd{controlFd, POLLIN, 0};
      if (master >= 0 && connected) {
        short events = POLLIN;
        if (!outputs.empty() && outputs.front().dueUs <= now) events |= POLLOUT;
        fds[count++] = pollfd{master, events, 0};
      }
      held.unlock();
      timespec wait{static_cast<time_t>(waitUs / 1000000u), static_cast<long>(waitUs % 1000000u) * 1000L};
      ppoll(fds, count, &wait, nullptr);
      held.lock();

      char drain[64];
      while (read(wake[0], drain, sizeof drain) > 0) {
      }
      if (controlFd >= 0) ReadControl();
      WatchLine();
      Flush();
      now = os::MonotonicUs();
      if (inBootloader && outputs.empty()) {
        // After "E" the flasher still reads its answer: the port goes once
        // the flasher has closed it (or a second later), not under its feet.
        if (bootloader.ExitRequested()) {
          if (bootloaderExitAt == 0) bootloaderExitAt = now;
          if (!connected || now >= bootloaderExitAt + kExitGraceUs) {
            bootloaderExitAt = 0;
            LeaveBootloader("the flasher said E");
            continue;
          }
        } else if (now >= bootloaderQuietSince + options.bootloaderMs * 1000ull) {
          LeaveBootloader("nothing came");
          continue;
        }
      }
      if (reporting && connected && nextReportUs != 0 && now >= nextReportUs) {
        std::vector<uint8_t> report;
        board.MakeReport(&report);
        Send(std::move(report), 0);
        nextReportUs = now + options.reportPeriodMs * 1000ull;
        Flush();
      }
    }
  }

  void Wake() {
    const char b = 1;
    if (wake[1] >= 0) (void)!write(wake[1], &b, 1);
  }
};

StandinHost::StandinHost(StandinHostOptions options) : s_(new State) {
  s_->options = std::move(options);
  s_->board.SetNote([this](char d, const uint8_t* b, size_t n, const std::string& t) { s_->Log(d, b, n, t); });
  s_->bootloader.SetNote([this](char d, const uint8_t* b, size_t n, const std::string& t) { s_->Log(d, b, n, t); });
}

StandinHost::~StandinHost() {
  Stop();
  std::lock_guard<std::mutex> held(s_->lock);
  if (s_->master >= 0) {
    close(s_->master);
    if (!s_->options.link.empty()) unlink(s_->options.link.c_str());
    if (s_->inBootloader) unlink(s_->options.bootloaderLink.c_str());
    s_->master = -1;
  }
  if (s_->ownsControlFd && s_->controlFd >= 0) close(s_->controlFd);
  for (int fd : s_->wake) {
    if (fd >= 0) close(fd);
  }
  if (s_->transcript) std::fclose(s_->transcript);
}

bool StandinHost::Start() {
  std::lock_guard<std::mutex> held(s_->lock);
  if (s_->started) return true;
  s_->startUs = os::MonotonicUs();
  if (!s_->options.transcript.empty()) {
    s_->transcript = std::fopen(s_->options.transcript.c_str(), "w");
    if (!s_->transcript) {
      std::fprintf(stderr, "standin_board: cannot write %s: %s\n", s_->options.transcript.c_str(),
                   std::strerror(errno));
      return false;
    }
  }
  if (pipe2(s_->wake, O_NONBLOCK | O_CLOEXEC) != 0) return false;
  if (!s_->options.controlPath.empty()) {
    const char* path = s_->options.controlPath.c_str();
    if (mkfifo(path, 0600) != 0 && errno != EEXIST) {
      std::fprintf(stderr, "standin_board: cannot make FIFO %s: %s\n", path, std::strerror(errno));
      return false;
    }
    // Read and write, so the FIFO never reports end-of-file between writers.
    s_->controlFd = open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    s_->ownsControlFd = true;
    if (s_->controlFd < 0) {
      std::fprintf(stderr, "standin_board: cannot open FIFO %s: %s\n", path, std::strerror(errno));
      return false;
    }
  } else if (s_->options.controlFd >= 0) {
    s_->controlFd = s_->options.controlFd;
    fcntl(s_->controlFd, F_SETFL, fcntl(s_->controlFd, F_GETFL) | O_NONBLOCK);
  }
  if (!s_->OpenTerminal()) {
    std::fprintf(stderr, "standin_board: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
    return false;
  }
  s_->Event("board on " + s_->slavePath);
  s_->started = true;
  s_->thread = std::thread([this] { s_->Loop(); });
  return true;
}

void StandinHost::Stop() {
  {
    std::lock_guard<std::mutex> held(s_->lock);
    if (!s_->started) return;
    s_->stop = true;
  }
  s_->Wake();
  if (s_->thread.joinable()) s_->thread.join();
  std::lock_guard<std::mutex> held(s_->lock);
  s_->started = false;
  for (Request* r : s_->requests) {
    r->done = true;
    r->error = "board stopped";
  }
  s_->requests.clear();
  s_->changed.notify_all();
}

std::string StandinHost::SlavePath() const {
  std::lock_guard<std::mutex> held(s_->lock);
  return s_->slavePath;
}

bool StandinHost::Control(const std::string& line, std::string* error) {
  std::unique_lock<std::mutex> held(s_->lock);
  if (!s_->started || std::this_thread::get_id() == s_->thread.get_id()) {
    return s_->Apply(line, error);
  }
  Request r;
  r.line = line;
  s_->requests.push_back(&r);
  s_->Wake();
  s_->changed.wait_for(held, std::chrono::seconds(5), [&] { return r.done; });
  if (!r.done) {
    // The loop did not take it (it cannot happen while it runs): withdraw.
    for (auto it = s_->requests.begin(); it != s_->requests.end(); ++it) {
      if (*it == &r) {
        s_->requests.erase(it);
        break;
      }
    }
    if (error) *error = "board did not answer";
    return false;
  }
  if (error) *error = r.error;
  return r.ok;
}

void StandinHost::WithBoard(const std::function<void(StandinBoard&)>& f) {
  std::lock_guard<std::mutex> held(s_->lock);
  f(s_->board);
}

std::vector<uint8_t> StandinHost::Received() {
  std::lock_guard<std::mutex> held(s_->lock);
  return s_->board.Received();
}

std::vector<std::string> StandinHost::Transcript() {
  std::lock_guard<std::mutex> held(s_->lock);
  return s_->lines;
}

int StandinHost::BootloaderResets() {
  std::lock_guard<std::mutex> held(s_->lock);
  return s_->resets;
}

bool StandinHost::InBootloader() {
  std::lock_guard<std::mutex> held(s_->lock);
  return s_->inBootloader;
}

std::vector<uint8_t> StandinHost::BootloaderFlash() {
  std::lock_guard<std::mutex> held(s_->lock);
  return s_->bootloader.Flash();
}

bool StandinHost::Connected() {
  std::lock_guard<std::mutex> held(s_->lock);
  return s_->connected;
}

bool StandinHost::QuitRequested() {
  std::lock_guard<std::mutex> held(s_->lock);
  return s_->quit;
}
