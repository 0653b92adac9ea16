#include "standin_board/standin_board.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace {

const char kProbe[] = "orvenk?";
const size_t kProbeLength = sizeof kProbe - 1;

std::string Describe(const char* format, int a, int b = 0, long long c = 0) {
  char text[96];
  std::snprintf(text, sizeof text, format, a, b, c);
  return text;
}

bool ParseNumber(const std::string& text, long long* value) {
  if (text.empty()) return false;
  char* end = nullptr;
  *value = std::strtoll(text.c_str(), &end, 0);
  return end && *end == '\0';
}

std::vector<std::string> Words(const std::string& line) {
  std::istringstream in(line);
  std::vector<std::string> words;
  std::string w;
  while (in >> w) words.push_back(w);
  return words;
}

}  // namespace

StandinBoard::StandinBoard() {
  std::memset(defaults_, 0, sizeof defaults_);
  // A plausible board: 900 degrees, half main gain, mid filter, no external
  // gain potentiometer, a few buttons mapped to the first pins.
  defaults_[8] = 900;
  defaults_[12] = 10000;
  defaults_[17] = 64;
  defaults_[18] = 50;
  defaults_[19] = 30;
  defaults_[20] = 40;
  defaults_[21] = 20;
  defaults_[22] = 127;
  defaults_[23] = 127;
  defaults_[25] = -1;
  defaults_[26] = 20;
  defaults_[27] = 30;
  defaults_[28] = 100;
  defaults_[29] = 60;
  defaults_[35] = 1;
  for (int n = 36; n <= 71; ++n) defaults_[n] = n < 44 ? n - 36 : -1;
  defaults_[72] = 0;
  defaults_[73] = 1;
  defaults_[74] = -1;
  defaults_[75] = -1;
  defaults_[77] = 16;
  for (int n = 80; n <= 86; n += 2) defaults_[n] = 32;
  defaults_[254] = 100;
  std::memcpy(values_, defaults_, sizeof values_);
}

void StandinBoard::RestoreDefaults() { std::memcpy(values_, defaults_, sizeof values_); }

void StandinBoard::Restart() {
  statusIndex_ = 0;
  state_ = State::kIdle;
  probeMatched_ = 0;
  command_.clear();
  junk_.clear();
}

void StandinBoard::SetStatusScript(std::vector<uint8_t> codes) {
  if (codes.empty()) codes.push_back(8);
  statusScript_ = std::move(codes);
  statusIndex_ = 0;
}

void StandinBoard::SetCalibrationScript(std::vector<uint8_t> codes) {
  if (codes.empty()) codes.push_back(8);
  calibrationScript_ = std::move(codes);
}

void StandinBoard::Log(char direction, const uint8_t* bytes, size_t count, const std::string& text) {
  if (note_) note_(direction, bytes, count, text);
}

void StandinBoard::FlushJunk() {
  if (junk_.empty()) return;
  Log('<', junk_.data(), junk_.size(), "not a command");
  junk_.clear();
}

void StandinBoard::MakeNoise(uint32_t count, uint32_t* seed, std::vector<uint8_t>* out) {
  for (uint32_t i = 0; i < count; ++i) {
    *seed = *seed * 1103515245u + 12345u;
    uint8_t b = static_cast<uint8_t>(*seed >> 16);
    if (b == 'D' || b == 'l') b ^= 0x20;
    out->push_back(b);
  }
}

void StandinBoard::Reply(const std::vector<uint8_t>& bytes, const std::string& text,
                         std::vector<uint8_t>* out) {
  if (silent_) {
    Log('#', nullptr, 0, "silent: no reply to " + text);
    return;
  }
  std::vector<uint8_t> reply;
  MakeNoise(noise_, &noiseSeed_, &reply);
  size_t keep = bytes.size() > shortBy_ ? bytes.size() - shortBy_ : 0;
  for (int copy = 0; copy < (doubled_ ? 2 : 1); ++copy) reply.insert(reply.end(), bytes.begin(), bytes.begin() + keep);
  Log('>', reply.data(), reply.size(), text);
  out->insert(out->end(), reply.begin(), reply.end());
}

void StandinBoard::Receive(const uint8_t* data, size_t count, std::vector<uint8_t>* out) {
  received_.insert(received_.end(), data, data + count);
  for (size_t i = 0; i < count; ++i) {
    const uint8_t byte = data[i];
    switch (state_) {
      case State::kIdle:
        Idle(byte, out);
        break;
      case State::kProbe:
        if (byte == static_cast<uint8_t>(kProbe[probeMatched_])) {
          command_.push_back(byte);
          if (++probeMatched_ == kProbeLength) {
            Log('<', command_.data(), command_.size(), "probe");
            command_.clear();
            state_ = State::kIdle;
            Reply(std::vector<uint8_t>(hello_.begin(), hello_.end()), "handshake", out);
          }
        } else {
          // Not the probe after all: what was taken for it is junk, and this
          // byte starts afresh.
          junk_.insert(junk_.end(), command_.begin(), command_.end());
          command_.clear();
          state_ = State::kIdle;
          Idle(byte, out);
        }
        break;
      case State::kReadNumber:
        number_ = byte;
        command_.push_back(byte);
        state_ = State::kReadSize;
        break;
      case State::kReadSize: {
        size_ = byte;
        command_.push_back(byte);
        Log('<', command_.data(), command_.size(), Describe("p %d %d", number_, size_));
        command_.clear();
        state_ = State::kIdle;
        std::vector<uint8_t> reply;
        const uint32_t v = static_cast<uint32_t>(values_[number_]);
        for (int k = 0; k < size_; ++k) reply.push_back(k < 4 ? static_cast<uint8_t>(v >> (8 * k)) : (values_[number_] < 0 ? 0xFF : 0));
        Reply(reply, Describe("value of %d", number_), out);
        break;
      }
      case State::kWriteNumber:
        number_ = byte;
        command_.push_back(byte);
        state_ = State::kWriteSize;
        break;
      case State::kWriteSize:
        size_ = byte;
        command_.push_back(byte);
        state_ = State::kWriteValue;
        if (size_ != 0) break;
        // A write of no bytes is complete here.
        [[fallthrough]];
      case State::kWriteValue:
        if (command_.size() < 3u + size_) {
          command_.push_back(byte);
          if (command_.size() < 3u + size_) break;
        }
        {
          // Big-endian; the value is as wide as the bytes sent, sign-extended.
          uint32_t v = 0;
          for (size_t k = 3; k < command_.size(); ++k) v = (v << 8) | command_[k];
          if (size_ > 0 && size_ < 4 && (command_[3] & 0x80)) v |= ~uint32_t{0} << (8 * size_);
          values_[number_] = static_cast<int32_t>(v);
          Log('<', command_.data(), command_.size(),
              Describe("P %d %d = %lld", number_, size_, static_cast<long long>(values_[number_])));
          command_.clear();
          state_ = State::kIdle;
        }
        break;
    }
  }
  if (state_ == State::kIdle) FlushJunk();
}

void StandinBoard::Idle(uint8_t byte, std::vector<uint8_t>* out) {
  auto single = [&](const char* text) {
    FlushJunk();
    Log('<', &byte, 1, text);
  };
  switch (byte) {
    case 'o':
      FlushJunk();
      command_.assign(1, byte);
      probeMatched_ = 1;
      state_ = State::kProbe;
      return;
    case 'p':
      FlushJunk();
      command_.assign(1, byte);
      state_ = State::kReadNumber;
      return;
    case 'P':
      FlushJunk();
      command_.assign(1, byte);
      state_ = State::kWriteNumber;
      return;
    case 'S': {
      single("status request");
      const uint8_t code = statusScript_[statusIndex_];
      if (statusIndex_ + 1 < statusScript_.size()) ++statusIndex_;
      Reply({code}, Describe("status %d", code), out);
      return;
    }
    case 'V': {
      single("version request");
      std::vector<uint8_t> reply;
      for (int k = 0; k < 4; ++k) reply.push_back(static_cast<uint8_t>(version_ >> (8 * k)));
      Reply(reply, Describe("version %d.%d", (version_ >> 8) & 0xFF, version_ & 0xFF), out);
      return;
    }
    case 'r':
      single("calibrate");
      statusScript_ = calibrationScript_;
      statusIndex_ = 0;
      return;
    case 'c':
      single("centre");
      values_[4] = centreOffset_;
      return;
    case 'D':
      single("restore defaults");
      RestoreDefaults();
      return;
    default:
      junk_.push_back(byte);
      return;
  }
}

void StandinBoard::MakeReport(std::vector<uint8_t>* out, uint64_t timeUs) {
  uint8_t kind = static_cast<uint8_t>(reportCount_ % 2);
  const uint8_t small = static_cast<uint8_t>(reportCount_ & 0xFF);
  int16_t wide = static_cast<int16_t>(static_cast<int>(reportCount_ * 37 % 2001) - 1000);
  ++reportCount_;
  if (waveAmplitude_ != 0) {
    const double phase = static_cast<double>(timeUs % (wavePeriodMs_ * 1000ull)) / (wavePeriodMs_ * 1000.0);
    double v = waveAmplitude_ * std::sin(2 * M_PI * phase);
    v = v > 32767 ? 32767 : (v < -32768 ? -32768 : v);
    kind = 0;
    wide = static_cast<int16_t>(std::lround(v));
    if (waveErrorEvery_ && reportCount_ % waveErrorEvery_ == 0) {
      kind = 7;
      wide = static_cast<int16_t>(reportCount_ / waveErrorEvery_);
    }
  }
  const std::vector<uint8_t> report = {'#', kind, small, static_cast<uint8_t>(static_cast<uint16_t>(wide) >> 8),
                                       static_cast<uint8_t>(wide & 0xFF)};
  // A wave at hundreds of reports a second would drown the transcript.
  if (waveAmplitude_ == 0) Log('>', report.data(), report.size(), Describe("report %d %d %lld", kind, small, wide));
  out->insert(out->end(), report.begin(), report.end());
}

bool ParseByteList(const std::string& text, std::vector<uint8_t>* out) {
  std::string spaced = text;
  for (char& ch : spaced) {
    if (ch == ',') ch = ' ';
  }
  std::vector<uint8_t> bytes;
  for (const std::string& w : Words(spaced)) {
    long long v;
    if (!ParseNumber(w, &v) || v < 0 || v > 255) return false;
    bytes.push_back(static_cast<uint8_t>(v));
  }
  if (bytes.empty()) return false;
  *out = std::move(bytes);
  return true;
}

bool StandinBoard::Control(const std::string& line, std::string* error) {
  const std::vector<std::string> w = Words(line);
  auto fail = [&](const char* why) {
    if (error) *error = std::string(why) + ": " + line;
    return false;
  };
  if (w.empty()) return fail("empty line");
  const std::string& verb = w[0];
  auto onOff = [&](bool* flag) {
    if (w.size() != 2 || (w[1] != "on" && w[1] != "off")) return fail("expected on or off");
    *flag = w[1] == "on";
    return true;
  };
  auto count = [&](uint32_t* value) {
    long long v;
    if (w.size() != 2 || !ParseNumber(w[1], &v) || v < 0 || v > 1000000) return fail("expected a count");
    *value = static_cast<uint32_t>(v);
    return true;
  };
  if (verb == "wave") {
    // "wave sine AMPLITUDE PERIOD_MS [ERROR_EVERY]" or "wave off".
    long long amplitude = 0, period = 0, every = 0;
    if (w.size() == 2 && w[1] == "off") {
      waveAmplitude_ = 0;
      return true;
    }
    if ((w.size() != 4 && w.size() != 5) || w[1] != "sine" || !ParseNumber(w[2], &amplitude) ||
        !ParseNumber(w[3], &period) || amplitude < 1 || amplitude > 1000000 || period < 1 || period > 3600000 ||
        (w.size() == 5 && (!ParseNumber(w[4], &every) || every < 0 || every > 1000000))) {
      return fail("expected sine AMPLITUDE PERIOD_MS [ERROR_EVERY], or off");
    }
    SetTorqueWave(static_cast<int32_t>(amplitude), static_cast<uint32_t>(period));
    waveErrorEvery_ = static_cast<uint32_t>(every);
    return true;
  }
  if (verb == "silent") return onOff(&silent_);
  if (verb == "double") return onOff(&doubled_);
  if (verb == "noise") return count(&noise_);
  if (verb == "short") return count(&shortBy_);
  if (verb == "hello") {
    const size_t at = line.find("hello") + 5;
    std::string text = line.substr(at);
    while (!text.empty() && text[0] == ' ') text.erase(0, 1);
    if (text.empty()) return fail("expected the reply text");
    hello_ = text;
    return true;
  }
  if (verb == "status" || verb == "calibration") {
    std::vector<uint8_t> codes;
    if (w.size() < 2 || !ParseByteList(line.substr(line.find(verb) + verb.size()), &codes)) {
      return fail("expected status codes");
    }
    if (verb == "status") {
      SetStatusScript(codes);
    } else {
      SetCalibrationScript(codes);
    }
    return true;
  }
  if (verb == "version") {
    unsigned major = 0, minor = 0;
    char extra = 0;
    if (w.size() != 2 || std::sscanf(w[1].c_str(), "%u.%u%c", &major, &minor, &extra) != 2 || major > 255 ||
        minor > 255) {
      return fail("expected MAJOR.MINOR");
    }
    version_ = (major << 8) | minor;
    return true;
  }
  if (verb == "set") {
    long long n, v;
    if (w.size() != 3 || !ParseNumber(w[1], &n) || !ParseNumber(w[2], &v) || n < 0 || n > 255) {
      return fail("expected set NUMBER VALUE");
    }
    values_[n] = static_cast<int32_t>(v);
    return true;
  }
  if (verb == "centre") {
    long long v;
    if (w.size() != 2 || !ParseNumber(w[1], &v)) return fail("expected an offset");
    centreOffset_ = static_cast<int32_t>(v);
    return true;
  }
  if (verb == "defaults") {
    RestoreDefaults();
    return true;
  }
  return fail("unknown command");
}

const char* StandinControlHelp() {
  return "Control lines (from --control FIFO, or stdin with --stdin):\n"
         "  silent on|off        answer nothing (the handshake neither)\n"
         "  late MS              send every reply MS milliseconds late (0: at once)\n"
         "  noise N              N junk bytes before every reply (never 'D' or 'l')\n"
         "  double on|off        send every reply twice\n"
         "  short N              cut every reply by N bytes\n"
         "  hello TEXT           handshake reply text (default DuvarKemol)\n"
         "  status 7,8           answers to \"S\", the last one repeats\n"
         "  calibration 1,2,..   the status answers that \"r\" starts\n"
         "  version 1.5          firmware version (answer to \"V\": 05 01 00 00)\n"
         "  set N VALUE          parameter N := VALUE\n"
         "  centre VALUE         parameter 4 after \"c\"\n"
         "  defaults             restore the default parameter set\n"
         "  flood N              send N junk bytes now (no 'l' among them)\n"
         "  send 23,1,5,255,254  send these bytes now (a \"#\" report, say)\n"
         "  report MS            \"#\" report period while parameter 16 > 0 (0: none)\n"
         "  rate N               N \"#\" reports a second instead (0: the period again)\n"
         "  wave sine A P [E]    torque reports A*sin(2 pi t/P ms), cut at 32767;\n"
         "                       every E-th report an \"Error\" instead; wave off\n"
         "  bootloader-ms MS     how long the bootloader waits for a flasher\n"
         "  flashed-version X.Y  the firmware version after a flash\n"
         "  drop                 unplug: close the pseudo-terminal, remove the link\n"
         "  back                 re-plug: a new pseudo-terminal behind the link\n"
         "  quit                 end the program\n";
}
