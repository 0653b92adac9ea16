#include "standin_board/standin_bootloader.h"

#include <cstdio>

namespace {

std::string Hex(uint32_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%04X", value);
  return text;
}

}  // namespace

StandinBootloader::StandinBootloader() : flash_(kFlashSize, 0xFF), eeprom_(kEepromSize, 0xFF) {}

void StandinBootloader::StartSession() {
  command_.clear();
  address_ = 0;
  exit_ = false;
  written_ = 0;
  refused_ = 0;
}

void StandinBootloader::Log(char direction, const uint8_t* bytes, size_t count, const std::string& text) {
  if (note_) note_(direction, bytes, count, text);
}

size_t StandinBootloader::NeededBytes() const {
  switch (command_[0]) {
    case 'A': return 3;
    case 'H': return 4;
    case 'g': return 4;
    case 'c': case 'C': case 'D': case 'l': case 'x': case 'y': case 'T': return 2;
    case 'B':
      if (command_.size() < 3) return 4;  // the size is not known yet
      return 4 + (size_t{command_[1]} << 8 | command_[2]);
    default: return 1;
  }
}

void StandinBootloader::Receive(const uint8_t* data, size_t count, std::vector<uint8_t>* out) {
  for (size_t i = 0; i < count; ++i) {
    if (command_.empty() && data[i] == 0x1B) continue;  // ESC: the synchronisation byte
    command_.push_back(data[i]);
    if (command_.size() >= NeededBytes()) {
      Command(out);
      command_.clear();
    }
  }
}

void StandinBootloader::Command(std::vector<uint8_t>* out) {
  const uint8_t c = command_[0];
  std::vector<uint8_t> reply;
  std::string what;
  auto text = [&](const char* s) { reply.insert(reply.end(), s, s + std::string(s).size()); };
  switch (c) {
    case 'S': text("AVRBOOT"); what = "software id"; break;
    case 'V': text("10"); what = "software version"; break;
    case 'v': text("10"); what = "hardware version"; break;
    case 'p': reply = {'S'}; what = "programmer type"; break;
    case 'a': reply = {'Y'}; what = "auto-increment"; break;
    case 'b': reply = {'Y', kBlockSize >> 8, kBlockSize & 0xFF}; what = "block size"; break;
    case 't': reply = {0x44, 0x00}; what = "device codes"; break;
    case 'T': reply = {'\r'}; what = "device type"; break;
    case 'P': reply = {'\r'}; what = "enter programming mode"; break;
    case 'L': reply = {'\r'}; what = "leave programming mode"; break;
    case 'x': case 'y': reply = {'\r'}; what = "LED"; break;
    case 'l': reply = {'\r'}; what = "lock bits (kept)"; break;
    case 's': reply = {0x87, 0x95, 0x1E}; what = "signature"; break;
    case 'F': reply = {0xFF}; what = "low fuse"; break;
    case 'N': reply = {0xD8}; what = "high fuse"; break;
    case 'Q': reply = {0xCB}; what = "extended fuse"; break;
    case 'r': reply = {0x2F}; what = "lock bits"; break;
    case 'e':
      for (uint32_t i = 0; i < kApplicationEnd; ++i) flash_[i] = 0xFF;
      reply = {'\r'};
      what = "chip erase (application area)";
      break;
    case 'E':
      exit_ = true;
      reply = {'\r'};
      what = "exit: start the application";
      break;
    case 'A':
      address_ = uint32_t{command_[1]} << 8 | command_[2];
      reply = {'\r'};
      what = "address " + Hex(address_);
      break;
    case 'H':
      address_ = uint32_t{command_[1]} << 16 | uint32_t{command_[2]} << 8 | command_[3];
      reply = {'\r'};
      what = "extended address " + Hex(address_);
      break;
    case 'c':
      lowByte_ = command_[1];
      reply = {'\r'};
      what = "low byte";
      break;
    case 'C': {
      const uint32_t at = address_ * 2;
      if (at + 1 < kApplicationEnd) {
        flash_[at] = lowByte_;
        flash_[at + 1] = command_[1];
        written_ += 2;
      } else {
        refused_ += 2;
      }
      ++address_;
      reply = {'\r'};
      what = "word";
      break;
    }
    case 'm': reply = {'\r'}; what = "write page"; break;
    case 'R': {
      const uint32_t at = (address_ * 2) % kFlashSize;
      reply = {flash_[at + 1], flash_[at]};
      ++address_;
      what = "read word";
      break;
    }
    case 'D':
      eeprom_[address_ % kEepromSize] = command_[1];
      ++address_;
      reply = {'\r'};
      what = "EEPROM byte";
      break;
    case 'd':
      reply = {eeprom_[address_ % kEepromSize]};
      ++address_;
      what = "read EEPROM byte";
      break;
    case 'B': {
      const uint32_t size = uint32_t{command_[1]} << 8 | command_[2];
      const uint8_t memory = command_[3];
      const uint8_t* data = command_.data() + 4;
      what = std::string("block write ") + static_cast<char>(memory) + " " + std::to_string(size) + " bytes at ";
      if (memory == 'F') {
        const uint32_t at = address_ * 2;
        what += Hex(at);
        for (uint32_t i = 0; i < size; ++i) {
          if (at + i < kApplicationEnd) {
            flash_[at + i] = data[i];
            ++written_;
          } else {
            ++refused_;
          }
        }
        address_ += size / 2;
        if (at + size > kApplicationEnd) what += " (past the application area: dropped)";
      } else if (memory == 'E') {
        what += Hex(address_);
        for (uint32_t i = 0; i < size; ++i) eeprom_[(address_ + i) % kEepromSize] = data[i];
        address_ += size;
      }
      reply = {static_cast<uint8_t>(memory == 'F' || memory == 'E' ? '\r' : '?')};
      Log('<', command_.data(), 4, what);
      Log('>', reply.data(), reply.size(), "");
      out->insert(out->end(), reply.begin(), reply.end());
      return;
    }
    case 'g': {
      const uint32_t size = uint32_t{command_[1]} << 8 | command_[2];
      const uint8_t memory = command_[3];
      what = std::string("block read ") + static_cast<char>(memory) + " " + std::to_string(size) + " bytes at ";
      if (memory == 'F') {
        const uint32_t at = address_ * 2;
        what += Hex(at);
        for (uint32_t i = 0; i < size; ++i) reply.push_back(flash_[(at + i) % kFlashSize]);
        address_ += size / 2;
      } else if (memory == 'E') {
        what += Hex(address_);
        for (uint32_t i = 0; i < size; ++i) reply.push_back(eeprom_[(address_ + i) % kEepromSize]);
        address_ += size;
      } else {
        reply = {'?'};
      }
      Log('<', command_.data(), command_.size(), what);
      Log('>', nullptr, 0, std::to_string(reply.size()) + " bytes");
      out->insert(out->end(), reply.begin(), reply.end());
      return;
    }
    default:
      reply = {'?'};
      what = "not understood";
      break;
  }
  Log('<', command_.data(), command_.size(), "bootloader: " + what);
  Log('>', reply.data(), reply.size(), "");
  out->insert(out->end(), reply.begin(), reply.end());
}
