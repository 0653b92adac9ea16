// The RS485 port slots: the table, name checks and the transmit buffers; the
// device work goes to the platform's SmPortDevice.
#include "drive/sm_port.h"

#include <cstdio>
#include <cstring>

namespace {

constexpr uint8_t kKindSerial = 1;

struct SmPort {
  uint8_t kind;
  uint8_t inUse;
  intptr_t handle;
  uint16_t readTimeoutMs;  // the module's time-out when this port was opened
  uint8_t transmit[kSmTransmitSize];
  int32_t transmitCount;
};

SmPort gPorts[kSmPortSlots];
bool gPortsCleared = false;
uint16_t gReadTimeoutMs = kSmDefaultReadTimeoutMs;
SmPortDevice* gDevice = nullptr;

SmPortDevice& Device() { return gDevice != nullptr ? *gDevice : PlatformSmPortDevice(); }

SmPort* Usable(int8_t slot) {
  if (slot < 0 || slot >= kSmPortSlots) return nullptr;
  SmPort& port = gPorts[slot];
  return port.kind == kKindSerial && port.inUse ? &port : nullptr;
}

bool NameAccepted(const char* name) {
  return name != nullptr && (std::strncmp(name, "COM", 3) == 0 || std::strncmp(name, "/dev/tty", 8) == 0);
}

const char* OpenFailureMessage(SmOpenResult result) {
  switch (result) {
    case SmOpenResult::kNoDevice: return "unable to open comport\n";
    case SmOpenResult::kBadLineMode: return "unable to set comport dcb settings\n";
    case SmOpenResult::kLineRefused: return "unable to set comport cfg settings\n";
    case SmOpenResult::kTimeoutsRefused: return "unable to set comport time-out settings\n";
    default: return nullptr;
  }
}

}  // namespace

void SetSmPortReadTimeout(uint16_t ms) { gReadTimeoutMs = ms; }
uint16_t SmPortReadTimeout() { return gReadTimeoutMs; }

void SetSmPortDevice(SmPortDevice* device) { gDevice = device; }

int8_t SmPortOpen(const char* name) {
  if (!gPortsCleared) {
    std::memset(gPorts, 0, sizeof gPorts);
    gPortsCleared = true;
  }
  int8_t slot = -1;
  for (int8_t i = 0; i < kSmPortSlots; ++i) {
    if (!gPorts[i].inUse) {
      slot = i;
      break;
    }
  }
  if (slot < 0 || !NameAccepted(name)) return -1;

  intptr_t handle = 0;
  const SmOpenResult result = Device().Open(name, gReadTimeoutMs, &handle);
  if (result != SmOpenResult::kOpened) {
    if (const char* message = OpenFailureMessage(result)) {
      std::fputs(message, stdout);
      std::fflush(stdout);
    }
    return -1;
  }
  SmPort& port = gPorts[slot];
  port.handle = handle;
  port.readTimeoutMs = gReadTimeoutMs;
  port.kind = kKindSerial;
  port.inUse = 1;
  port.transmitCount = 0;
  return slot;
}

bool SmPortPutByte(int8_t slot, uint8_t byte) {
  SmPort* port = Usable(slot);
  if (port == nullptr || port->transmitCount >= kSmTransmitSize) return false;
  port->transmit[port->transmitCount++] = byte;
  return true;
}

bool SmPortFlush(int8_t slot) {
  SmPort* port = Usable(slot);
  if (port == nullptr) return false;
  const int32_t count = port->transmitCount;
  port->transmitCount = 0;
  if (count == 0) return true;
  return Device().Write(port->handle, port->transmit, count) == count;
}

bool SmPortReadByte(int8_t slot, uint8_t* byte) {
  SmPort* port = Usable(slot);
  if (port == nullptr || byte == nullptr) return false;
  return Device().ReadByte(port->handle, port->readTimeoutMs, byte);
}

void SmPortDiscardInput(int8_t slot) {
  if (SmPort* port = Usable(slot)) Device().DiscardInput(port->handle);
}

bool SmPortClose(int8_t slot) {
  SmPort* port = Usable(slot);
  if (port == nullptr) return false;
  Device().Close(port->handle);
  port->inUse = 0;
  port->kind = 0;
  port->transmitCount = 0;
  return true;
}
