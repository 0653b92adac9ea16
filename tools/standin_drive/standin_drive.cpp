#include "standin_drive/standin_drive.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <sstream>

namespace {

constexpr uint8_t kBufferedCommand = 0x24;
constexpr uint16_t kReturnAddressParameter = 9;

// Bit by bit, on purpose not the program's table-driven code: the stand-in
// checks the program, it does not share its mistakes.
uint16_t Crc16Arc(const uint8_t* data, size_t count) {
  uint16_t crc = 0;
  for (size_t i = 0; i < count; ++i) {
    crc ^= data[i];
    for (int bit = 0; bit < 8; ++bit) crc = (crc & 1) ? static_cast<uint16_t>((crc >> 1) ^ 0xA001) : static_cast<uint16_t>(crc >> 1);
  }
  return crc;
}

int32_t SignExtend(uint32_t raw, int bits) {
  const uint32_t sign = 1u << (bits - 1);
  return static_cast<int32_t>((raw ^ sign) - sign);
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

std::string Meaning(uint16_t address, int32_t value) {
  if (address == 554 && value == 2) return " (restart)";
  if (address == 2533 && value == 3) return " (clear faults)";
  return "";
}

}  // namespace

void AppendReturnValue(int32_t v, std::vector<uint8_t>* out) {
  const uint32_t u = static_cast<uint32_t>(v);
  if (v >= -32 && v <= 31) {
    out->push_back(static_cast<uint8_t>(0xC0 | (u & 0x3F)));
  } else if (v >= -8192 && v <= 8191) {
    out->push_back(static_cast<uint8_t>(0x80 | ((u >> 8) & 0x3F)));
    out->push_back(static_cast<uint8_t>(u));
  } else if (v >= -(1 << 21) && v < (1 << 21)) {
    out->push_back(static_cast<uint8_t>(0x40 | ((u >> 16) & 0x3F)));
    out->push_back(static_cast<uint8_t>(u >> 8));
    out->push_back(static_cast<uint8_t>(u));
  } else {
    out->push_back(static_cast<uint8_t>((u >> 24) & 0x3F));
    out->push_back(static_cast<uint8_t>(u >> 16));
    out->push_back(static_cast<uint8_t>(u >> 8));
    out->push_back(static_cast<uint8_t>(u));
  }
}

StandinDrive::StandinDrive() {
  values_[3] = 0x0104;    // firmware version
  values_[490] = 6;       // torque bandwidth index: 1000 Hz
  values_[554] = 0;
  values_[565] = 10000;   // encoder pulses per revolution
  values_[2533] = 0;
}

int32_t StandinDrive::Parameter(uint16_t address) const {
  auto it = values_.find(address);
  return it == values_.end() ? 0 : it->second;
}

void StandinDrive::SetCurrentWave(int32_t amplitude, uint32_t periodReads) {
  waveCurrent_ = true;
  amplitude_ = amplitude;
  periodReads_ = periodReads == 0 ? 1 : periodReads;
  currentReads_ = 0;
}

void StandinDrive::SetCurrentFixed(int32_t raw) {
  waveCurrent_ = false;
  fixedCurrent_ = raw;
}

int32_t StandinDrive::NextCurrent() {
  if (!waveCurrent_) return fixedCurrent_;
  const double phase = 2.0 * 3.14159265358979 * (currentReads_++ % periodReads_) / periodReads_;
  return static_cast<int32_t>(std::lround(amplitude_ * std::sin(phase)));
}

void StandinDrive::Log(char direction, const uint8_t* bytes, size_t count, const std::string& text) {
  if (note_) note_(direction, bytes, count, text);
}

void StandinDrive::Receive(const uint8_t* data, size_t count, std::vector<uint8_t>* out) {
  received_.insert(received_.end(), data, data + count);
  for (size_t i = 0; i < count; ++i) {
    packet_.push_back(data[i]);
    const uint8_t payloadClass = packet_[0] & 0x06;
    if (payloadClass == 0x06) {
      Log('<', packet_.data(), packet_.size(), "not a packet (payload class 11), dropped");
      packet_.clear();
      continue;
    }
    const size_t header = payloadClass == 0x04 ? 3 : 2;
    size_t payload = payloadClass == 0x00 ? 0 : 2;
    if (payloadClass == 0x04) {
      if (packet_.size() < 2) continue;
      payload = packet_[1];
    }
    if (packet_.size() == header + payload + 2) {
      Packet(out);
      packet_.clear();
    }
  }
}

void StandinDrive::Packet(std::vector<uint8_t>* out) {
  const std::vector<uint8_t>& p = packet_;
  const size_t header = (p[0] & 0x06) == 0x04 ? 3 : 2;
  const uint16_t crc = Crc16Arc(p.data(), p.size() - 2);
  const uint16_t sent = static_cast<uint16_t>(p[p.size() - 2] | (p[p.size() - 1] << 8));
  if (crc != sent) {
    char text[64];
    std::snprintf(text, sizeof text, "bad CRC (0x%04x, wants 0x%04x), ignored", sent, crc);
    Log('<', p.data(), p.size(), text);
    return;
  }
  const uint8_t node = p[header - 1];
  if (node != node_) {
    Log('<', p.data(), p.size(), "for node " + std::to_string(node) + ", not this drive");
    return;
  }
  if (p[0] != kBufferedCommand) {
    char text[48];
    std::snprintf(text, sizeof text, "command 0x%02x not understood", p[0]);
    Log('<', p.data(), p.size(), text);
    return;
  }

  // The sub-commands, in order; one return value each.
  std::vector<int32_t> values;
  std::string text = "node " + std::to_string(node) + ":";
  uint16_t address = 0;
  bool addressOnly = false;  // an address was set and no value followed yet
  int32_t readOf = -1;
  size_t i = header;
  const size_t end = p.size() - 2;
  while (i < end) {
    const uint8_t kind = p[i] >> 6;
    const size_t size = kind == 2 ? 2 : kind == 1 ? 3 : kind == 0 ? 4 : 1;
    if (kind == 3 || i + size > end) {
      text += " bad sub-command, rest ignored";
      break;
    }
    uint32_t raw = p[i] & 0x3Fu;
    for (size_t k = 1; k < size; ++k) raw = (raw << 8) | p[i + k];
    i += size;
    if (kind == 2) {
      if (addressOnly) text += " @" + std::to_string(address);
      address = static_cast<uint16_t>(raw);
      addressOnly = true;
      values.push_back(0);
      continue;
    }
    const int32_t value = SignExtend(raw, kind == 1 ? 22 : 30);
    text += std::string(values.size() > 1 ? ", " : " ") + std::to_string(address) + " := " + std::to_string(value) +
            Meaning(address, value);
    addressOnly = false;
    if (address == kReturnAddressParameter) {
      values_[address] = value;
      const uint16_t wanted = static_cast<uint16_t>(value);
      readOf = wanted;
      values.push_back(wanted == 901 ? NextCurrent() : Parameter(wanted));
      continue;
    }
    values.push_back(0);
    if (address == 3 || address == 901) {
      text += " (read-only)";
    } else if (address == 554 && value == 2) {
      ++restarts_;
      values_[address] = value;
    } else if (address == 2533 && value == 3) {
      values_[address] = 0;
    } else {
      values_[address] = value;
    }
  }
  if (addressOnly) text += " @" + std::to_string(address);
  if (readOf >= 0) text += " (read " + std::to_string(readOf) + ")";
  Log('<', p.data(), p.size(), text);

  std::string reply = std::to_string(values.size()) + " values";
  if (readOf >= 0 && !values.empty()) reply += ", " + std::to_string(readOf) + " = " + std::to_string(values.back());
  Answer(values, reply, out);
}

void StandinDrive::Answer(const std::vector<int32_t>& values, const std::string& text, std::vector<uint8_t>* out) {
  if (silentAfter_ == 0) {
    silent_ = true;
    silentAfter_ = -1;
    Log('#', nullptr, 0, "fell silent");
  }
  if (silent_) {
    Log('#', nullptr, 0, "silent: no reply");
    return;
  }
  if (silentAfter_ > 0) --silentAfter_;

  std::vector<uint8_t> payload;
  const size_t kept = values.size() > fewerValues_ ? values.size() - fewerValues_ : 0;
  for (size_t i = 0; i < kept; ++i) AppendReturnValue(values[i], &payload);
  if (payload.size() > 255) payload.resize(255);
  std::vector<uint8_t> packet = {kBufferedCommand, static_cast<uint8_t>(payload.size()), node_};
  packet.insert(packet.end(), payload.begin(), payload.end());
  const uint16_t crc = Crc16Arc(packet.data(), packet.size());
  uint8_t low = static_cast<uint8_t>(crc), high = static_cast<uint8_t>(crc >> 8);
  std::string how = text;
  if (kept < values.size()) how += " (" + std::to_string(values.size() - kept) + " left off)";
  if (crcMode_ == CrcMode::kSwapped) {
    std::swap(low, high);
    how += " (CRC high byte first)";
  } else if (crcMode_ == CrcMode::kWrong) {
    low ^= 0x5A;
    how += " (CRC wrong)";
  }
  packet.push_back(low);
  packet.push_back(high);
  if (shortBy_ > 0) {
    packet.resize(packet.size() > shortBy_ ? packet.size() - shortBy_ : 0);
    how += " (" + std::to_string(shortBy_) + " bytes short)";
  }
  std::vector<uint8_t> reply;
  for (uint32_t n = 0; n < noise_; ++n) {
    noiseSeed_ = noiseSeed_ * 1103515245u + 12345u;
    reply.push_back(static_cast<uint8_t>(noiseSeed_ >> 16));
  }
  if (noise_ > 0) how += " (after " + std::to_string(noise_) + " junk bytes)";
  reply.insert(reply.end(), packet.begin(), packet.end());
  ++answered_;
  Log('>', reply.data(), reply.size(), how);
  out->insert(out->end(), reply.begin(), reply.end());
}

bool StandinDrive::Control(const std::string& line, std::string* error) {
  const std::vector<std::string> w = Words(line);
  auto fail = [&](const std::string& why) {
    if (error) *error = why + ": " + line;
    return false;
  };
  if (w.empty()) return fail("empty line");
  long long a = 0, b = 0;
  const std::string& verb = w[0];
  if (verb == "silent" && w.size() == 2 && (w[1] == "on" || w[1] == "off")) {
    SetSilent(w[1] == "on");
    return true;
  }
  if (verb == "silent" && w.size() == 3 && w[1] == "after" && ParseNumber(w[2], &a) && a >= 0) {
    SetSilent(false);
    SetSilentAfter(static_cast<uint32_t>(a));
    return true;
  }
  if (verb == "crc" && w.size() == 2) {
    if (w[1] == "good") SetCrcMode(CrcMode::kGood);
    else if (w[1] == "swapped") SetCrcMode(CrcMode::kSwapped);
    else if (w[1] == "wrong") SetCrcMode(CrcMode::kWrong);
    else return fail("expected good, swapped or wrong");
    return true;
  }
  if ((verb == "short" || verb == "fewer" || verb == "noise" || verb == "node") && w.size() == 2 &&
      ParseNumber(w[1], &a) && a >= 0 && a <= 255) {
    if (verb == "short") SetShortBy(static_cast<uint32_t>(a));
    if (verb == "fewer") SetFewerValues(static_cast<uint32_t>(a));
    if (verb == "noise") SetNoise(static_cast<uint32_t>(a));
    if (verb == "node") SetNode(static_cast<uint8_t>(a));
    return true;
  }
  if (verb == "set" && w.size() == 3 && ParseNumber(w[1], &a) && ParseNumber(w[2], &b) && a >= 0 &&
      a <= 0x3FFF) {
    SetParameter(static_cast<uint16_t>(a), static_cast<int32_t>(b));
    return true;
  }
  if (verb == "current" && w.size() == 2 && ParseNumber(w[1], &a)) {
    SetCurrentFixed(static_cast<int32_t>(a));
    return true;
  }
  if (verb == "current" && w.size() == 4 && w[1] == "wave" && ParseNumber(w[2], &a) && ParseNumber(w[3], &b) &&
      b > 0) {
    SetCurrentWave(static_cast<int32_t>(a), static_cast<uint32_t>(b));
    return true;
  }
  return fail("not understood");
}

const char* StandinDriveControlHelp() {
  return "Control lines (FIFO, --stdin, or the options above):\n"
         "  silent on|off          answer nothing / answer again\n"
         "  silent after N         answer N more packets, then fall silent\n"
         "  late MS                answer MS milliseconds late\n"
         "  crc good|swapped|wrong CRC as it should be, high byte first, or wrong\n"
         "  short N                every reply N bytes short\n"
         "  fewer N                N return values fewer than sub-commands\n"
         "  noise N                N junk bytes before every reply\n"
         "  node N                 answer packets for node N (default 2)\n"
         "  set ADDRESS VALUE      drive parameter ADDRESS := VALUE\n"
         "  current RAW            parameter 901 fixed at RAW (0.0018 A per unit)\n"
         "  current wave AMP READS a sine of amplitude AMP over READS reads (default 2500 40)\n"
         "  drop                   the adapter is pulled out (the link goes away)\n"
         "  back                   plugged in again, on a new pseudo-terminal\n"
         "  quit                   end the program\n";
}
