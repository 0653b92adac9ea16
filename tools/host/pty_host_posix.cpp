#include "host/pty_host_posix.h"

#include <fcntl.h>
#include <poll.h>
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
#include "host/control_lines_posix.h"

namespace {

constexpr uint64_t kIdlePollUs = 50000;
// While nobody has the slave open the master reports a hang-up at once, so
// that state is looked at on a short period instead of in poll.
constexpr uint64_t kClosedPollUs = 2000;
constexpr size_t kMaxTranscriptLines = 200000;

constexpr struct {
  speed_t speed;
  int baud;
} kSpeeds[] = {{B1200, 1200},     {B2400, 2400},     {B4800, 4800},     {B9600, 9600},
               {B19200, 19200},   {B38400, 38400},   {B57600, 57600},   {B115200, 115200},
               {B230400, 230400}, {B460800, 460800}, {B921600, 921600}};

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

struct PtyHost::State {
  std::string label;
  int resetBaud = 0;
  PtyHostOptions options;
  PtyDevice* device = nullptr;
  std::recursive_mutex lock;
  std::condition_variable_any changed;
  int master = -1;
  std::string slavePath;
  std::string link;  // the current terminal's link
  WakePipe wake;
  ControlLines control;
  std::thread thread;
  bool started = false;
  bool stop = false;
  bool quit = false;
  bool connected = false;
  bool announced = false;  // "opened at" noted for this opening
  int openBaud = 0;
  std::deque<Output> outputs;
  std::deque<Request*> requests;
  FILE* transcript = nullptr;
  std::vector<std::string> lines;
  uint64_t startUs = os::MonotonicUs();

  // --- all below run with the lock held
  void Announce(PtyHost& host) {
    if (!connected || announced) return;
    announced = true;
    openBaud = host.LineBaud();
    host.Event("opened at " + std::to_string(openBaud) + " baud");
  }

  bool Apply(PtyHost& host, const std::string& line, std::string* error) {
    host.Event("control: " + line);
    std::istringstream in(line);
    std::string verb;
    in >> verb;
    if (verb == "drop") {
      if (master >= 0) {
        host.CloseTerminal();
        host.Event("dropped out");
      }
      return true;
    }
    if (verb == "back") return host.Back(error);
    if (verb == "quit") {
      quit = true;
      changed.notify_all();
      return true;
    }
    return device->Apply(line, error);
  }

  void ReadMaster() {
    uint8_t buffer[4096];
    ssize_t got;
    while (master >= 0 && (got = read(master, buffer, sizeof buffer)) > 0) {
      device->Receive(buffer, static_cast<size_t>(got));
    }
  }

  void WatchLine(PtyHost& host) {
    if (master < 0) return;
    pollfd p{master, POLLIN, 0};
    poll(&p, 1, 0);
    const bool hungUp = (p.revents & POLLHUP) != 0;
    if (!hungUp && !connected) {
      connected = true;
      announced = false;
    }
    if (p.revents & POLLIN) {
      Announce(host);
      ReadMaster();
    }
    if (hungUp && connected) {
      Announce(host);
      connected = false;
      outputs.clear();
      host.Event("closed");
      device->Closed(openBaud);
    } else if (hungUp) {
      device->NobodyOpen();
    } else if (connected && announced) {
      const int baud = host.LineBaud();
      if (baud != openBaud) {
        openBaud = baud;
        host.Event("line set to " + std::to_string(baud) + " baud");
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

  void Loop(PtyHost& host) {
    std::unique_lock<std::recursive_mutex> held(lock);
    uint64_t nextTurnUs = 0;
    while (!stop) {
      while (!requests.empty()) {
        Request* r = requests.front();
        requests.pop_front();
        r->ok = Apply(host, r->line, &r->error);
        r->done = true;
      }
      changed.notify_all();

      uint64_t now = os::MonotonicUs();
      uint64_t waitUs = connected ? kIdlePollUs : kClosedPollUs;
      if (!outputs.empty()) {
        const uint64_t due = outputs.front().dueUs;
        waitUs = std::min<uint64_t>(waitUs, due > now ? due - now : 0);
      }
      waitUs = std::min<uint64_t>(waitUs, nextTurnUs > now ? nextTurnUs - now : 0);
      pollfd fds[3];
      nfds_t count = 0;
      fds[count++] = pollfd{wake.Fd(), POLLIN, 0};
      if (control.Fd() >= 0) fds[count++] = pollfd{control.Fd(), POLLIN, 0};
      if (master >= 0 && connected) {
        short events = POLLIN;
        if (!outputs.empty() && outputs.front().dueUs <= now) events |= POLLOUT;
        fds[count++] = pollfd{master, events, 0};
      }
      held.unlock();
      timespec wait{static_cast<time_t>(waitUs / 1000000u), static_cast<long>(waitUs % 1000000u) * 1000L};
      ppoll(fds, count, &wait, nullptr);
      held.lock();

      wake.Drain();
      control.Read([&](const std::string& line) {
        std::string error;
        if (!Apply(host, line, &error)) host.Event("control refused: " + error);
      });
      WatchLine(host);
      Flush();
      now = os::MonotonicUs();
      const uint64_t turn = device->Turn(now);
      nextTurnUs = turn > UINT64_MAX - now ? UINT64_MAX : now + turn;
    }
  }
};

PtyHost::PtyHost(const char* label, int resetBaud, PtyHostOptions options, PtyDevice* device) : s_(new State) {
  s_->label = label;
  s_->resetBaud = resetBaud;
  s_->options = std::move(options);
  s_->device = device;
}

PtyHost::~PtyHost() {
  Stop();
  CloseTerminal();
  if (s_->transcript) std::fclose(s_->transcript);
}

bool PtyHost::Start() {
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  if (s_->started) return true;
  const std::string tool = "standin_" + s_->label;
  if (!s_->options.transcript.empty()) {
    s_->transcript = std::fopen(s_->options.transcript.c_str(), "w");
    if (!s_->transcript) {
      std::fprintf(stderr, "%s: cannot write %s: %s\n", tool.c_str(), s_->options.transcript.c_str(),
                   std::strerror(errno));
      return false;
    }
    // Settings applied before the start belong in the file too.
    for (const std::string& line : s_->lines) std::fprintf(s_->transcript, "%s\n", line.c_str());
    std::fflush(s_->transcript);
  }
  std::string error;
  if (!s_->wake.Open()) return false;
  if (!s_->control.Open(s_->options.controlPath, s_->options.controlFd, &error)) {
    std::fprintf(stderr, "%s: %s\n", tool.c_str(), error.c_str());
    return false;
  }
  if (!OpenTerminal(s_->options.link)) {
    std::fprintf(stderr, "%s: cannot open a pseudo-terminal: %s\n", tool.c_str(), std::strerror(errno));
    return false;
  }
  Event(s_->label + " on " + s_->slavePath);
  s_->started = true;
  s_->thread = std::thread([this] { s_->Loop(*this); });
  return true;
}

void PtyHost::Stop() {
  {
    std::lock_guard<std::recursive_mutex> held(s_->lock);
    if (!s_->started) return;
    s_->stop = true;
  }
  s_->wake.Wake();
  if (s_->thread.joinable()) s_->thread.join();
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  s_->started = false;
  for (Request* r : s_->requests) {
    r->done = true;
    r->error = s_->label + " stopped";
  }
  s_->requests.clear();
  s_->changed.notify_all();
}

bool PtyHost::Control(const std::string& line, std::string* error) {
  std::unique_lock<std::recursive_mutex> held(s_->lock);
  if (!s_->started || std::this_thread::get_id() == s_->thread.get_id()) return s_->Apply(*this, line, error);
  Request r;
  r.line = line;
  s_->requests.push_back(&r);
  s_->wake.Wake();
  s_->changed.wait_for(held, std::chrono::seconds(5), [&] { return r.done; });
  if (!r.done) {
    s_->requests.erase(std::remove(s_->requests.begin(), s_->requests.end(), &r), s_->requests.end());
    if (error) *error = s_->label + " did not answer";
    return false;
  }
  if (error) *error = r.error;
  return r.ok;
}

void PtyHost::Locked(const std::function<void()>& f) {
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  f();
}

std::string PtyHost::SlavePath() {
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  return s_->slavePath;
}

std::vector<std::string> PtyHost::Transcript() {
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  return s_->lines;
}

bool PtyHost::Connected() {
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  return s_->connected;
}

bool PtyHost::QuitRequested() {
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  return s_->quit;
}

void PtyHost::Log(char direction, const uint8_t* bytes, size_t count, const std::string& text) {
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  std::ostringstream line;
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%.6f", (os::MonotonicUs() - s_->startUs) / 1e6);
  line << stamp << ' ' << direction;
  for (size_t i = 0; i < count; ++i) {
    char hex[4];
    std::snprintf(hex, sizeof hex, " %02x", bytes[i]);
    line << hex;
  }
  if (!text.empty()) line << "  " << text;
  const std::string s = line.str();
  if (s_->transcript) {
    std::fprintf(s_->transcript, "%s\n", s.c_str());
    std::fflush(s_->transcript);
  }
  if (s_->options.echo) std::fprintf(stderr, "%s\n", s.c_str());
  if (s_->lines.size() < kMaxTranscriptLines) s_->lines.push_back(s);
}

void PtyHost::Event(const std::string& text) { Log('#', nullptr, 0, text); }

void PtyHost::Send(std::vector<uint8_t> bytes, uint32_t delayMs) {
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  s_->Announce(*this);
  s_->outputs.push_back(Output{os::MonotonicUs() + uint64_t{delayMs} * 1000u, std::move(bytes)});
}

bool PtyHost::OutputsPending() {
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  return !s_->outputs.empty();
}

void PtyHost::DropOutputs() {
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  s_->outputs.clear();
}

int PtyHost::LineBaud() {
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  termios tio{};
  if (s_->master < 0 || tcgetattr(s_->master, &tio) != 0) return 0;
  for (const auto& s : kSpeeds) {
    if (s.speed == cfgetospeed(&tio)) return s.baud;
  }
  return 0;
}

void PtyHost::ResetLine() {
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  termios tio{};
  if (s_->master < 0 || tcgetattr(s_->master, &tio) != 0) return;
  cfmakeraw(&tio);
  tio.c_cflag |= CLOCAL | CREAD;
  for (const auto& s : kSpeeds) {
    if (s.baud == s_->resetBaud) cfsetspeed(&tio, s.speed);
  }
  tcsetattr(s_->master, TCSANOW, &tio);
}

bool PtyHost::OpenTerminal(const std::string& link) {
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  CloseTerminal();
  const int fd = posix_openpt(O_RDWR | O_NOCTTY);
  if (fd < 0) return false;
  char name[128];
  if (grantpt(fd) != 0 || unlockpt(fd) != 0 || ptsname_r(fd, name, sizeof name) != 0) {
    close(fd);
    return false;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) | O_NONBLOCK);
  fcntl(fd, F_SETFD, FD_CLOEXEC);
  s_->master = fd;
  ResetLine();
  // The master reports a hang-up only once a slave has been closed; open and
  // close it once so "nobody has it open" looks the same from the start.
  const int slave = open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (slave >= 0) close(slave);
  if (!link.empty()) {
    // Replace the link in one step so an opener never finds it missing.
    const std::string temporary = link + ".new";
    unlink(temporary.c_str());
    if (symlink(name, temporary.c_str()) != 0 || rename(temporary.c_str(), link.c_str()) != 0) {
      std::fprintf(stderr, "standin_%s: cannot link %s to %s: %s\n", s_->label.c_str(), link.c_str(), name,
                   std::strerror(errno));
      close(fd);
      s_->master = -1;
      return false;
    }
  }
  s_->slavePath = name;
  s_->link = link;
  s_->connected = false;
  return true;
}

std::string PtyHost::CloseTerminal() {
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  std::string slave;
  slave.swap(s_->slavePath);
  if (s_->master < 0) return slave;
  close(s_->master);
  s_->master = -1;
  if (!s_->link.empty()) unlink(s_->link.c_str());
  s_->link.clear();
  s_->connected = false;
  s_->outputs.clear();
  return slave;
}

bool PtyHost::Back(std::string* error) {
  std::lock_guard<std::recursive_mutex> held(s_->lock);
  if (s_->master >= 0) return true;
  if (!OpenTerminal(s_->options.link)) {
    if (error) *error = "cannot open a pseudo-terminal";
    return false;
  }
  s_->device->Restart();
  Event("back on " + s_->slavePath);
  return true;
}
