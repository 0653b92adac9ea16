#include "wheel/serial_channel.h"

#include <cstring>

// The byte and text helpers are the same on every platform: they go through
// the virtual operations so a derived channel only has to supply the basics.

uint32_t SerialChannel::WriteText(const char* text) {
  if (text == nullptr) return 0;
  return Write(text, static_cast<uint32_t>(std::strlen(text)));
}

uint8_t SerialChannel::ReadByte() {
  uint8_t value = 0;
  Read(&value, 1);
  return value;
}

uint32_t SerialChannel::WriteByte(uint8_t value) { return Write(&value, 1); }
