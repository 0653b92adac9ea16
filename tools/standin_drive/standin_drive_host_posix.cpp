// The stand-in drive on the shared pseudo-terminal host.
#include "standin_drive/standin_drive_host_posix.h"

#include <sstream>

class StandinDriveHost::Device : public PtyDevice {
 public:
  explicit Device(StandinDriveHostOptions o) : options(std::move(o)), host("drive", 0, options, this) {
    drive.SetNote([this](char d, const uint8_t* b, size_t n, const std::string& t) { host.Log(d, b, n, t); });
  }

  void Receive(const uint8_t* bytes, size_t count) override {
    std::vector<uint8_t> reply;
    drive.Receive(bytes, count, &reply);
    if (!reply.empty()) host.Send(std::move(reply), options.replyDelayMs);
  }

  bool Apply(const std::string& line, std::string* error) override {
    std::istringstream in(line);
    std::string verb;
    long long ms = -1;
    if (!(in >> verb) || verb != "late") return drive.Control(line, error);
    if (!(in >> ms) || ms < 0 || ms > 600000) {
      if (error) *error = "expected milliseconds: " + line;
      return false;
    }
    options.replyDelayMs = static_cast<uint32_t>(ms);
    return true;
  }

  void Restart() override { drive.Restart(); }
  void Closed(int) override { drive.Restart(); }

  StandinDriveHostOptions options;
  StandinDrive drive;
  PtyHost host;  // last: its thread stops before the drive goes
};

StandinDriveHost::StandinDriveHost(StandinDriveHostOptions options) : d_(new Device(std::move(options))) {}
StandinDriveHost::~StandinDriveHost() = default;
bool StandinDriveHost::Start() { return d_->host.Start(); }
void StandinDriveHost::Stop() { d_->host.Stop(); }
std::string StandinDriveHost::SlavePath() { return d_->host.SlavePath(); }
bool StandinDriveHost::Control(const std::string& line, std::string* error) {
  return d_->host.Control(line, error);
}
void StandinDriveHost::WithDrive(const std::function<void(StandinDrive&)>& f) {
  d_->host.Locked([&] { f(d_->drive); });
}
std::vector<std::string> StandinDriveHost::Transcript() { return d_->host.Transcript(); }
bool StandinDriveHost::QuitRequested() { return d_->host.QuitRequested(); }

std::vector<uint8_t> StandinDriveHost::Received() {
  std::vector<uint8_t> bytes;
  d_->host.Locked([&] { bytes = d_->drive.Received(); });
  return bytes;
}
