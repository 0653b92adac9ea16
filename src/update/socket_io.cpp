#include "update/socket_io.h"

#include <cstring>

bool ParseDottedIPv4(const char* text, uint32_t* address) {
  if (text == nullptr) return false;
  uint32_t parts[4];
  const char* p = text;
  for (int i = 0; i < 4; ++i) {
    if (*p < '0' || *p > '9') return false;
    uint32_t value = 0;
    int digits = 0;
    while (*p >= '0' && *p <= '9') {
      value = value * 10 + static_cast<uint32_t>(*p - '0');
      if (++digits > 3 || value > 255) return false;
      ++p;
    }
    parts[i] = value;
    if (i < 3) {
      if (*p != '.') return false;
      ++p;
    }
  }
  if (*p != 0) return false;
  // Network byte order: the first number is the first byte in memory.
  const uint8_t bytes[4] = {static_cast<uint8_t>(parts[0]), static_cast<uint8_t>(parts[1]),
                            static_cast<uint8_t>(parts[2]), static_cast<uint8_t>(parts[3])};
  uint32_t value = 0;
  std::memcpy(&value, bytes, sizeof value);
  if (address) *address = value;
  return true;
}
