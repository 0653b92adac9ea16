#pragma once
// A game controller's instance or product GUID, in the platform's field
// layout (one 32-bit, two 16-bit fields, eight bytes), so the DirectInput
// side copies it as it is and config.ini stores it field by field.
#include <cstdint>
#include <cstring>

struct DeviceGuid {
  uint32_t data1;
  uint16_t data2;
  uint16_t data3;
  uint8_t data4[8];
};

inline bool operator==(const DeviceGuid& a, const DeviceGuid& b) {
  return a.data1 == b.data1 && a.data2 == b.data2 && a.data3 == b.data3 &&
         std::memcmp(a.data4, b.data4, sizeof a.data4) == 0;
}
inline bool operator!=(const DeviceGuid& a, const DeviceGuid& b) { return !(a == b); }
