// The stand-in drive behind a pseudo-terminal: one thread that polls the
// master side, feeds the drive model and sends its replies when they are due.
#include "standin_drive/standin_drive_host_posix.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <sstream>
#include <thread>

#include "exec/os.h"

namespace {

constexpr uint64_t kIdlePollUs = 50000;
// While nobody has the slave open the master reports a hang-up at once, so
// that state is looked at on a period instead of in poll.
constexpr uint64_t kClosedPollUs = 10000;
constexpr size_t kMaxTranscriptLines = 200000;

int BaudOf(speed_t speed) {
  switch (speed) {
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    case B460800: return 460800;
    case B921600: return 921600;
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

struct StandinDriveHost::State {
  StandinDriveHostOptions options;
  mutable std::mutex lock;
  std::condition_variable changed;
  StandinDrive drive;
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
  std::deque<Output> outputs;
  std::deque<Request*> requests;
  FILE* transcript = nullptr;
  std::vector<std::string> lines;
  uint64_t startUs = 0;

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

  bool OpenTerminal() {
    const int fd = posix_openpt(O_RDWR | O_NOCTTY);
    if (fd < 0) return false;
    char name[128];
    if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
      close(fd);
      return false;
    }
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
    fcntl(fd, F_SETFD, FD_CLOEXEC);
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
      cfmakeraw(&tio);
      tcsetattr(fd, TCSANOW, &tio);
    }
    // The master reports a hang-up only once a slave has been closed; open and
    // close it once so "nobody has it open" looks the same from the start.
    const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave >= 0) close(slave);
    if (!options.link.empty()) {
      // Replace the link in one step so an opener never finds it missing.
      const std::string temporary = options.link + ".new";
      unlink(temporary.c_str());
      if (symlink(name, temporary.c_str()) != 0 || rename(temporary.c_str(), options.link.c_str()) != 0) {
        std::fprintf(stderr, "standin_drive: cannot link %s to %s: %s\n", options.link.c_str(), name,
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

  int LineBaud() const {
    termios tio{};
    if (master < 0 || tcgetattr(master, &tio) != 0) return 0;
    return BaudOf(cfgetospeed(&tio));
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
    drive.Restart();
    Event("back on " + slavePath);
    return true;
  }

  bool Apply(const std::string& line, std::string* error) {
    Event("control: " + line);
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    if (verb == "late") {
      long long ms = -1;
      if (!(in >> ms) || ms < 0 || ms > 600000) {
        if (error) *error = "expected milliseconds: " + line;
        return false;
      }
      options.replyDelayMs = static_cast<uint32_t>(ms);
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
    return drive.Control(line, error);
  }

  void ReadMaster() {
    uint8_t buffer[4096];
    for (;;) {
      const ssize_t got = read(master, buffer, sizeof buffer);
      if (got <= 0) return;
      std::vector<uint8_t> reply;
      drive.Receive(buffer, static_cast<size_t>(got), &reply);
      if (!reply.empty()) {
        outputs.push_back(Output{os::MonotonicUs() + uint64_t{options.replyDelayMs} * 1000u, std::move(reply)});
      }
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
    if (hungUp && connected) {
      connected = false;
      outputs.clear();
      drive.Restart();
      Event("closed");
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
      const ssize_t put = write(master, out.bytes.data(), out.bytes.size());
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
      const ssize_t got = read(controlFd, buffer, sizeof buffer);
      if (got <= 0) return;
      controlBuffer.append(buffer, static_cast<size_t>(got));
      size_t end;
      while ((end = controlBuffer.find('\n')) != std::string::npos) {
        std::string line = controlBuffer.substr(0, end);
        controlBuffer.erase(0, end + 1);
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (line.empty() || line[0] == '#') continue;
        std::string error;
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

      const uint64_t now = os::MonotonicUs();
      uint64_t waitUs = connected ? kIdlePollUs : kClosedPollUs;
      if (!outputs.empty()) {
        const uint64_t due = outputs.front().dueUs;
        waitUs = std::min<uint64_t>(waitUs, due > now ? due - now : 0);
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
    }
  }

  void Wake() {
    const char b = 1;
    if (wake[1] >= 0) (void)!write(wake[1], &b, 1);
  }
};

StandinDriveHost::StandinDriveHost(StandinDriveHostOptions options) : s_(new State) {
  s_->options = std::move(options);
  s_->startUs = os::MonotonicUs();
  s_->drive.SetNote([this](char d, const uint8_t* b, size_t n, const std::string& t) { s_->Log(d, b, n, t); });
}

StandinDriveHost::~StandinDriveHost() {
  Stop();
  std::lock_guard<std::mutex> held(s_->lock);
  if (s_->master >= 0) {
    close(s_->master);
    if (!s_->options.link.empty()) unlink(s_->options.link.c_str());
    s_->master = -1;
  }
  if (s_->ownsControlFd && s_->controlFd >= 0) close(s_->controlFd);
  for (int fd : s_->wake) {
    if (fd >= 0) close(fd);
  }
  if (s_->transcript) std::fclose(s_->transcript);
}

bool StandinDriveHost::Start() {
  std::lock_guard<std::mutex> held(s_->lock);
  if (s_->started) return true;
  if (!s_->options.transcript.empty()) {
    s_->transcript = std::fopen(s_->options.transcript.c_str(), "w");
    if (!s_->transcript) {
      std::fprintf(stderr, "standin_drive: cannot write %s: %s\n", s_->options.transcript.c_str(),
                   std::strerror(errno));
      return false;
    }
    // Settings applied before the start belong in the file too.
    for (const std::string& line : s_->lines) std::fprintf(s_->transcript, "%s\n", line.c_str());
    std::fflush(s_->transcript);
  }
  if (pipe2(s_->wake, O_NONBLOCK | O_CLOEXEC) != 0) return false;
  if (!s_->options.controlPath.empty()) {
    const char* path = s_->options.controlPath.c_str();
    if (mkfifo(path, 0600) != 0 && errno != EEXIST) {
      std::fprintf(stderr, "standin_drive: cannot make FIFO %s: %s\n", path, std::strerror(errno));
      return false;
    }
    // Read and write, so the FIFO never reports end-of-file between writers.
    s_->controlFd = open(path, O_RDWR | O_NONBLOCK | O_CLOEXEC);
    s_->ownsControlFd = true;
    if (s_->controlFd < 0) {
      std::fprintf(stderr, "standin_drive: cannot open FIFO %s: %s\n", path, std::strerror(errno));
      return false;
    }
  } else if (s_->options.controlFd >= 0) {
    s_->controlFd = s_->options.controlFd;
    fcntl(s_->controlFd, F_SETFL, fcntl(s_->controlFd, F_GETFL) | O_NONBLOCK);
  }
  if (!s_->OpenTerminal()) {
    std::fprintf(stderr, "standin_drive: cannot open a pseudo-terminal: %s\n", std::strerror(errno));
    return false;
  }
  s_->Event("drive on " + s_->slavePath);
  s_->started = true;
  s_->thread = std::thread([this] { s_->Loop(); });
  return true;
}

void StandinDriveHost::Stop() {
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
    r->error = "drive stopped";
  }
  s_->requests.clear();
  s_->changed.notify_all();
}

std::string StandinDriveHost::SlavePath() const {
  std::lock_guard<std::mutex> held(s_->lock);
  return s_->slavePath;
}

bool StandinDriveHost::Control(const std::string& line, std::string* error) {
  std::unique_lock<std::mutex> held(s_->lock);
  if (!s_->started || std::this_thread::get_id() == s_->thread.get_id()) return s_->Apply(line, error);
  Request r;
  r.line = line;
  s_->requests.push_back(&r);
  s_->Wake();
  s_->changed.wait_for(held, std::chrono::seconds(5), [&] { return r.done; });
  if (!r.done) {
    s_->requests.erase(std::remove(s_->requests.begin(), s_->requests.end(), &r), s_->requests.end());
    if (error) *error = "drive did not answer";
    return false;
  }
  if (error) *error = r.error;
  return r.ok;
}

void StandinDriveHost::WithDrive(const std::function<void(StandinDrive&)>& f) {
  std::lock_guard<std::mutex> held(s_->lock);
  f(s_->drive);
}

std::vector<uint8_t> StandinDriveHost::Received() {
  std::lock_guard<std::mutex> held(s_->lock);
  return s_->drive.Received();
}

std::vector<std::string> StandinDriveHost::Transcript() {
  std::lock_guard<std::mutex> held(s_->lock);
  return s_->lines;
}

bool StandinDriveHost::QuitRequested() {
  std::lock_guard<std::mutex> held(s_->lock);
  return s_->quit;
}
