// The stand-in board on the shared pseudo-terminal host: the board model,
// its "#" reports, and the bootloader it turns into after a 1200-baud open.
#include "standin_board/standin_host_posix.h"

#include <algorithm>
#include <cstdio>
#include <sstream>

#include "exec/os.h"

namespace {

constexpr uint64_t kExitGraceUs = 1000 * 1000;

}  // namespace

class StandinHost::Device : public PtyDevice {
 public:
  explicit Device(StandinHostOptions o) : options(std::move(o)), host("board", 115200, options, this) {
    auto note = [this](char d, const uint8_t* b, size_t n, const std::string& t) { host.Log(d, b, n, t); };
    board.SetNote(note);
    bootloader.SetNote(note);
  }

  void Receive(const uint8_t* bytes, size_t count) override {
    std::vector<uint8_t> reply;
    if (inBootloader) {
      bootloaderQuietSince = os::MonotonicUs();
      bootloader.Receive(bytes, count, &reply);
      if (!reply.empty()) host.Send(std::move(reply), 0);
      return;
    }
    board.Receive(bytes, count, &reply);
    if (!reply.empty()) host.Send(std::move(reply), options.replyDelayMs);
  }

  bool Apply(const std::string& line, std::string* error) override {
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
    if (verb == "late" || verb == "report" || verb == "flood" || verb == "rate") {
      if (!(in >> n) || n < 0 || n > 10000000) {
        if (error) *error = "expected a number: " + line;
        return false;
      }
      if (verb == "late") options.replyDelayMs = static_cast<uint32_t>(n);
      if (verb == "report") options.reportPeriodMs = static_cast<uint32_t>(n);
      if (verb == "rate") {
        if (n > 20000) {
          if (error) *error = "at most 20000 reports a second: " + line;
          return false;
        }
        options.reportRate = static_cast<uint32_t>(n);
        nextReportUs = 0;
      }
      if (verb == "flood") {
        std::vector<uint8_t> junk;
        uint32_t seed = 777;
        StandinBoard::MakeNoise(static_cast<uint32_t>(n), &seed, &junk);
        host.Log('>', nullptr, 0, "flood of " + std::to_string(n) + " junk bytes");
        host.Send(std::move(junk), 0);
      }
      return true;
    }
    if (verb == "send") {
      std::vector<uint8_t> bytes;
      if (!ParseByteList(line.substr(line.find("send") + 4), &bytes)) {
        if (error) *error = "expected bytes: " + line;
        return false;
      }
      host.Log('>', bytes.data(), bytes.size(), "sent on request");
      host.Send(std::move(bytes), 0);
      return true;
    }
    return board.Control(line, error);
  }

  void Restart() override { board.Restart(); }

  void Closed(int baud) override {
    if (!inBootloader && (baud == 1200 || host.LineBaud() == 1200)) BootloaderReset();
  }

  void NobodyOpen() override {
    if (!inBootloader && host.LineBaud() == 1200) {
      // Opened at 1200 baud and closed again between two looks.
      host.Event("opened at 1200 baud and closed");
      BootloaderReset();
    }
  }

  uint64_t Turn(uint64_t now) override {
    if (inBootloader && !host.OutputsPending()) {
      // After "E" the flasher still reads its answer: the port goes once
      // the flasher has closed it (or a second later), not under its feet.
      if (bootloader.ExitRequested()) {
        if (bootloaderExitAt == 0) bootloaderExitAt = now;
        if (!host.Connected() || now >= bootloaderExitAt + kExitGraceUs) {
          bootloaderExitAt = 0;
          LeaveBootloader("the flasher said E");
          return 0;
        }
      } else if (now >= bootloaderQuietSince + options.bootloaderMs * 1000ull) {
        LeaveBootloader("nothing came");
        return 0;
      }
    }
    uint64_t waitUs = UINT64_MAX;
    if (inBootloader) {
      const uint64_t quietEnd = bootloaderQuietSince + options.bootloaderMs * 1000ull;
      waitUs = quietEnd > now ? quietEnd - now : 0;
    }
    const uint64_t periodUs =
        options.reportRate ? 1000000ull / options.reportRate : options.reportPeriodMs * 1000ull;
    if (inBootloader || !host.Connected() || periodUs == 0 || !board.ReportsEnabled()) {
      nextReportUs = 0;
      return waitUs;
    }
    if (nextReportUs != 0 && now >= nextReportUs) {
      // Every report that is due goes, in one write: a host loop that woke
      // late catches up instead of lowering the rate (but never more than a
      // tenth of a second's worth at once).
      std::vector<uint8_t> reports;
      int due = 0;
      while (now >= nextReportUs && due < 2000) {
        board.MakeReport(&reports, nextReportUs);
        nextReportUs += periodUs;
        ++due;
      }
      if (now >= nextReportUs + 100000) nextReportUs = now + periodUs;
      host.Send(std::move(reports), 0);
    }
    if (nextReportUs == 0) nextReportUs = now + periodUs;
    return std::min(waitUs, nextReportUs - now);
  }

  void BootloaderReset() {
    ++resets;
    host.Event("1200-baud open: bootloader reset");
    board.Restart();
    host.DropOutputs();
    if (options.bootloaderLink.empty()) {
      host.ResetLine();
      return;
    }
    // The board's port goes away and the bootloader's appears.
    host.Event("the board left " + host.CloseTerminal());
    if (!host.OpenTerminal(options.bootloaderLink)) {
      host.Event("no pseudo-terminal for the bootloader: back as the board");
      host.Back(nullptr);
      return;
    }
    inBootloader = true;
    bootloader.StartSession();
    bootloaderQuietSince = os::MonotonicUs();
    host.Event("bootloader on " + host.SlavePath());
  }

  void LeaveBootloader(const char* why) {
    const uint32_t written = bootloader.BytesWritten();
    host.CloseTerminal();
    inBootloader = false;
    host.Event(std::string("bootloader left (") + why + "), " + std::to_string(written) +
               " bytes of flash written" +
               (bootloader.BytesRefused() ? ", " + std::to_string(bootloader.BytesRefused()) + " refused" : ""));
    if (!host.OpenTerminal(options.link)) {
      host.Event("no pseudo-terminal for the board");
      return;
    }
    board.Restart();
    if (written > 0) {
      // New firmware starts from its own defaults.
      board.RestoreDefaults();
      if (options.flashedVersion != 0) board.SetVersion(options.flashedVersion);
    }
    host.Event("back as the board on " + host.SlavePath());
  }

  StandinHostOptions options;
  StandinBoard board;
  StandinBootloader bootloader;
  bool inBootloader = false;
  uint64_t bootloaderQuietSince = 0;
  uint64_t bootloaderExitAt = 0;  // when "E" was answered; 0 before
  uint64_t nextReportUs = 0;
  int resets = 0;
  PtyHost host;  // last: its thread stops before the board goes
};

StandinHost::StandinHost(StandinHostOptions options) : d_(new Device(std::move(options))) {}
StandinHost::~StandinHost() = default;
bool StandinHost::Start() { return d_->host.Start(); }
void StandinHost::Stop() { d_->host.Stop(); }
std::string StandinHost::SlavePath() { return d_->host.SlavePath(); }
bool StandinHost::Control(const std::string& line, std::string* error) { return d_->host.Control(line, error); }
void StandinHost::WithBoard(const std::function<void(StandinBoard&)>& f) {
  d_->host.Locked([&] { f(d_->board); });
}
std::vector<std::string> StandinHost::Transcript() { return d_->host.Transcript(); }
bool StandinHost::Connected() { return d_->host.Connected(); }
bool StandinHost::QuitRequested() { return d_->host.QuitRequested(); }

std::vector<uint8_t> StandinHost::Received() {
  std::vector<uint8_t> bytes;
  d_->host.Locked([&] { bytes = d_->board.Received(); });
  return bytes;
}

int StandinHost::BootloaderResets() {
  int resets = 0;
  d_->host.Locked([&] { resets = d_->resets; });
  return resets;
}

bool StandinHost::InBootloader() {
  bool in = false;
  d_->host.Locked([&] { in = d_->inBootloader; });
  return in;
}

std::vector<uint8_t> StandinHost::BootloaderFlash() {
  std::vector<uint8_t> flash;
  d_->host.Locked([&] { flash = d_->bootloader.Flash(); });
  return flash;
}
