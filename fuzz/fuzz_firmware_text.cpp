// Fuzz target: what the update subsystem reads from outside as text, over
// arbitrary bytes: a firmware file for the Intel HEX check, and the port
// lister's output for its lines, ports and USB ids.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "update/intel_hex.h"
#include "update/port_discovery.h"

namespace {

bool OnLine(const char* text, size_t length, void* context) {
  if (length > kPortLineChars) __builtin_trap();
  const uint8_t port = FirstPortOnLine(text, length);
  const uint8_t found = PortWithIds(text, length, kWheelVendorId, kWheelProductId);
  if (found > 128) __builtin_trap();
  *static_cast<size_t*>(context) += port + found;
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  const HexCheck check = CheckIntelHex(text, size);
  if (check.ok && (check.highestAddress > kApplicationFlashEnd || check.dataBytes == 0)) __builtin_trap();
  if (!check.ok && check.reason[0] == 0) __builtin_trap();
  size_t sum = 0;
  ForEachListerLine(text, size, OnLine, &sum);
  return 0;
}
