// SimpleMotion bus: handles, sub-command queue, CRC, receive state machine
// and return-value decoding over the RS485 port slots.
#include "drive/simple_motion.h"

#include <cstdio>
#include <cstring>

#include "drive/sm_port.h"
#include "exec/deadline.h"

namespace {

// Payload classes, bits 1-2 of a packet's command id.
constexpr uint8_t kClassMask = 0x06;
constexpr uint8_t kClassNone = 0x00;
constexpr uint8_t kClassTwo = 0x02;
constexpr uint8_t kClassLength = 0x04;

enum ReceiveState : uint32_t {
  kAwaitCommand = 0,
  kAwaitNode = 1,
  kAwaitLength = 2,
  kAwaitPayload = 3,
  kAwaitCrcFirst = 4,
  kAwaitCrcSecond = 5,
};

struct SmBus {
  int8_t portSlot;
  bool open;
  uint32_t receiveState;
  int16_t expectedLength;  // -1 while the length byte is awaited (and when no reply holds)
  int16_t receivedCount;
  uint8_t buffer[kSmBufferSize];  // the queue until it is sent, then the reply's payload
  uint8_t receivedCommand;
  uint8_t receivedNode;
  uint16_t crc;            // receive register, kept with its two bytes swapped
  uint16_t crcFirstByte;
  bool packetComplete;
  bool queueOverflow;
  int16_t queueLength;
  int16_t readPosition;
  uint16_t readTimeoutMs;  // the port's, for the exchange bounds
  // The request as sent (node and payload): an adapter whose receiver stays
  // on hands it back, and it must not pass for the drive's reply.
  uint8_t sentNode;
  int16_t sentLength;
  uint8_t sent[kSmBufferSize];
};

SmBus gBuses[kSmBusCount];
bool gBusesSetUp = false;
LinkClock* gClock = nullptr;

LinkClock& Clock() { return gClock != nullptr ? *gClock : SystemLinkClock(); }

// The two 256-entry tables of the table-driven CRC, made from the reflected
// polynomial 0xA001: "hi" folds into the register byte that goes out first
// (the CRC's low byte), "lo" gives the other one.
struct CrcTables {
  uint8_t hi[256];
  uint8_t lo[256];
};

constexpr CrcTables MakeCrcTables() {
  CrcTables tables{};
  for (int i = 0; i < 256; ++i) {
    uint16_t c = static_cast<uint16_t>(i);
    for (int bit = 0; bit < 8; ++bit) c = (c & 1) ? static_cast<uint16_t>((c >> 1) ^ 0xA001) : static_cast<uint16_t>(c >> 1);
    tables.hi[i] = static_cast<uint8_t>(c & 0xFF);
    tables.lo[i] = static_cast<uint8_t>(c >> 8);
  }
  return tables;
}

constexpr CrcTables kCrc = MakeCrcTables();

// One byte into a swapped register (high byte = the CRC's low byte).
uint16_t FoldCrc(uint16_t swapped, uint8_t byte) {
  const uint8_t index = static_cast<uint8_t>((swapped >> 8) ^ byte);
  const uint8_t high = static_cast<uint8_t>((swapped & 0xFF) ^ kCrc.hi[index]);
  return static_cast<uint16_t>((high << 8) | kCrc.lo[index]);
}

void SetUpBuses() {
  if (gBusesSetUp) return;
  std::memset(gBuses, 0, sizeof gBuses);
  for (SmBus& bus : gBuses) {
    bus.portSlot = -1;
    bus.expectedLength = -1;
  }
  gBusesSetUp = true;
}

SmBus* OpenBus(int32_t handle) {
  if (handle < 0 || handle >= kSmBusCount || !gBusesSetUp) return nullptr;
  return gBuses[handle].open ? &gBuses[handle] : nullptr;
}

// Both send failures and a queue that was dropped unsent leave no reply to
// decode: the previous reply's payload must not answer for this request.
void ForgetReply(SmBus& bus) {
  bus.queueLength = 0;
  bus.readPosition = 0;
  bus.expectedLength = -1;
  bus.receivedCount = 0;
}

// The packet just received is the request itself: same command, node and
// payload. A drive answers every sub-command with a return value, never with
// the sub-commands.
bool IsOwnRequest(const SmBus& bus) {
  return bus.receivedCommand == kSmBufferedCommand && bus.receivedNode == bus.sentNode &&
         bus.expectedLength == bus.sentLength &&
         std::memcmp(bus.buffer, bus.sent, static_cast<size_t>(bus.sentLength)) == 0;
}

SmStatus Send(SmBus& bus, uint8_t node) {
  SmPortDiscardInput(bus.portSlot);
  SmStatus status = kSmOk;
  uint16_t crc = 0;
  auto put = [&](uint8_t byte) {
    crc = FoldCrc(crc, byte);
    if (!SmPortPutByte(bus.portSlot, byte)) status |= kSmBusError;
  };
  bus.sentNode = node;
  bus.sentLength = bus.queueLength;
  std::memcpy(bus.sent, bus.buffer, static_cast<size_t>(bus.queueLength));
  put(kSmBufferedCommand);
  put(static_cast<uint8_t>(bus.queueLength));
  put(node);
  for (int16_t i = 0; i < bus.queueLength; ++i) put(bus.buffer[i]);
  // Low byte first: the swapped register's high byte.
  if (!SmPortPutByte(bus.portSlot, static_cast<uint8_t>(crc >> 8))) status |= kSmBusError;
  if (!SmPortPutByte(bus.portSlot, static_cast<uint8_t>(crc & 0xFF))) status |= kSmBusError;
  if (!SmPortFlush(bus.portSlot)) status |= kSmBusError;
  return status;
}

}  // namespace

uint16_t SmCrc16(const uint8_t* data, size_t count) {
  uint16_t swapped = 0;
  for (size_t i = 0; i < count; ++i) swapped = FoldCrc(swapped, data[i]);
  return static_cast<uint16_t>((swapped << 8) | (swapped >> 8));
}

void SetSimpleMotionClock(LinkClock* clock) { gClock = clock; }

int32_t SmOpenBus(const char* portName) {
  SetUpBuses();
  int32_t handle = -1;
  for (int32_t i = 0; i < kSmBusCount; ++i) {
    if (!gBuses[i].open) {
      handle = i;
      break;
    }
  }
  if (handle < 0) return -1;
  const uint16_t timeoutMs = SmPortReadTimeout();
  const int8_t slot = SmPortOpen(portName);
  if (slot < 0) return -1;
  SmBus& bus = gBuses[handle];
  bus.portSlot = slot;
  bus.open = true;
  bus.readTimeoutMs = timeoutMs;
  // A handle used before starts clean: no half reply, no queue.
  bus.receiveState = kAwaitCommand;
  bus.crc = 0;
  bus.packetComplete = false;
  bus.queueOverflow = false;
  ForgetReply(bus);
  return handle;
}

SmStatus SmCloseBus(int32_t handle) {
  SmBus* bus = OpenBus(handle);
  if (bus == nullptr) return kSmNoDevice;
  bus->open = false;
  SmPortClose(bus->portSlot);
  return kSmOk;
}

SmStatus SmQueueCommand(int32_t handle, int kind, int32_t value) {
  SmBus* bus = OpenBus(handle);
  if (bus == nullptr) return kSmNoDevice;
  const uint32_t v = static_cast<uint32_t>(value);
  uint8_t bytes[4];
  int16_t size = 0;
  switch (kind) {
    case kSmValue32:
      bytes[0] = static_cast<uint8_t>((v >> 24) & 0x3F);
      bytes[1] = static_cast<uint8_t>(v >> 16);
      bytes[2] = static_cast<uint8_t>(v >> 8);
      bytes[3] = static_cast<uint8_t>(v);
      size = 4;
      break;
    case kSmValue24:
      bytes[0] = static_cast<uint8_t>(0x40 | ((v >> 16) & 0x3F));
      bytes[1] = static_cast<uint8_t>(v >> 8);
      bytes[2] = static_cast<uint8_t>(v);
      size = 3;
      break;
    case kSmSetAddress:
      bytes[0] = static_cast<uint8_t>(0x80 | ((v >> 8) & 0x3F));
      bytes[1] = static_cast<uint8_t>(v);
      size = 2;
      break;
    default:
      return kSmParameterError;
  }
  if (bus->queueLength + size > kSmBufferSize) {
    bus->queueOverflow = true;
    return kSmLengthError;
  }
  std::memcpy(bus->buffer + bus->queueLength, bytes, static_cast<size_t>(size));
  bus->queueLength = static_cast<int16_t>(bus->queueLength + size);
  return kSmOk;
}

SmStatus SmExecuteQueue(int32_t handle, uint8_t node) {
  SmBus* bus = OpenBus(handle);
  if (bus == nullptr) return kSmNoDevice;
  if (!bus->queueOverflow) {
    const SmStatus sent = Send(*bus, node);
    if (sent != kSmOk) {
      ForgetReply(*bus);
      return sent;
    }
  }
  bus->queueLength = 0;
  bus->readPosition = 0;
  if (bus->queueOverflow) {
    ForgetReply(*bus);
  } else {
    LinkClock& clock = Clock();
    const Deadline reply = Deadline::After(clock.NowUs(), uint64_t(bus->readTimeoutMs) * 1000u);
    for (;;) {
      uint8_t byte = 0;
      if (!SmPortReadByte(bus->portSlot, &byte)) return SmResetReceiver(handle, true);
      const SmStatus status = SmReceiveByte(handle, byte);
      if (status != kSmOk) return status;
      // The request heard back is no reply: the drive's may still follow it
      // within the same bound.
      if (bus->packetComplete && !IsOwnRequest(*bus)) break;
      // A line that trickles bytes without ever finishing a packet is as
      // good as a silent one.
      if (reply.Passed(clock.NowUs())) return SmResetReceiver(handle, true);
    }
  }
  bus->queueOverflow = false;
  return kSmOk;
}

SmStatus SmReceiveByte(int32_t handle, uint8_t byte) {
  SmBus* bus = OpenBus(handle);
  if (bus == nullptr) return kSmNoDevice;
  bus->packetComplete = false;
  switch (bus->receiveState) {
    case kAwaitCommand: {
      bus->crc = FoldCrc(bus->crc, byte);
      bus->receivedCommand = byte;
      const uint8_t payloadClass = byte & kClassMask;
      if (payloadClass == kClassNone || payloadClass == kClassTwo) {
        bus->expectedLength = payloadClass == kClassNone ? 0 : 2;
        bus->receiveState = kAwaitNode;
      } else if (payloadClass == kClassLength) {
        bus->expectedLength = -1;
        bus->receiveState = kAwaitLength;
      } else {
        return SmResetReceiver(handle, true);
      }
      break;
    }
    case kAwaitLength:
      bus->crc = FoldCrc(bus->crc, byte);
      bus->expectedLength = byte;
      bus->receiveState = kAwaitNode;
      break;
    case kAwaitNode:
      bus->crc = FoldCrc(bus->crc, byte);
      bus->receivedNode = byte;
      bus->receiveState = bus->expectedLength > bus->receivedCount ? kAwaitPayload : kAwaitCrcFirst;
      break;
    case kAwaitPayload:
      bus->crc = FoldCrc(bus->crc, byte);
      if (bus->receivedCount >= kSmBufferSize) return SmResetReceiver(handle, true);
      bus->buffer[bus->receivedCount++] = byte;
      if (bus->receivedCount >= bus->expectedLength) bus->receiveState = kAwaitCrcFirst;
      break;
    case kAwaitCrcFirst:
      bus->crcFirstByte = byte;
      bus->receiveState = kAwaitCrcSecond;
      break;
    case kAwaitCrcSecond:
    default:
      // The register is kept swapped, so a CRC sent low byte first reads
      // back as first * 256 + second.
      if (static_cast<uint16_t>(bus->crcFirstByte * 256 + byte) != bus->crc) return SmResetReceiver(handle, true);
      bus->packetComplete = true;
      bus->receivedCount = 0;
      bus->crc = 0;
      bus->receiveState = kAwaitCommand;
      break;
  }
  return kSmOk;
}

SmStatus SmNextReturnValue(int32_t handle, int32_t* value) {
  SmBus* bus = OpenBus(handle);
  if (bus == nullptr) {
    *value = 0;
    return kSmNoDevice;
  }
  const int16_t end = bus->expectedLength < kSmBufferSize ? bus->expectedLength : kSmBufferSize;
  if (bus->readPosition >= end) {
    *value = 0;
    return kSmLengthError;
  }
  const uint8_t first = bus->buffer[bus->readPosition];
  // Top bits 00, 01, 10, 11 give 4, 3, 2, 1 bytes.
  const int16_t size = static_cast<int16_t>(4 - (first >> 6));
  if (bus->readPosition + size > end) {
    // The reply ends inside this value: what follows in the buffer is not
    // part of it.
    bus->readPosition = end;
    *value = 0;
    return kSmLengthError;
  }
  uint32_t raw = first & 0x3Fu;
  for (int16_t i = 1; i < size; ++i) raw = (raw << 8) | bus->buffer[bus->readPosition + i];
  bus->readPosition = static_cast<int16_t>(bus->readPosition + size);
  const int bits = size * 8 - 2;
  const uint32_t sign = 1u << (bits - 1);
  *value = static_cast<int32_t>((raw ^ sign) - sign);
  return kSmOk;
}

SmStatus SmResetReceiver(int32_t handle, bool drain) {
  SmBus* bus = OpenBus(handle);
  if (bus == nullptr) return kSmNoDevice;
  if (drain) {
    // Until the line has been silent for one read time-out, but never longer
    // than one read time-out of draining in all.
    LinkClock& clock = Clock();
    const Deadline limit = Deadline::After(clock.NowUs(), uint64_t(bus->readTimeoutMs) * 1000u);
    uint8_t byte = 0;
    while (SmPortReadByte(bus->portSlot, &byte) && !limit.Passed(clock.NowUs())) {
    }
  }
  bus->receiveState = kAwaitCommand;
  bus->expectedLength = -1;
  bus->receivedCount = 0;
  bus->receivedCommand = 0;
  bus->receivedNode = 0xFF;
  bus->crc = 0;
  bus->queueLength = 0;
  bus->readPosition = 0;
  bus->queueOverflow = false;
  return kSmCommError;
}

int16_t SmQueueLength(int32_t handle) {
  SmBus* bus = OpenBus(handle);
  return bus != nullptr ? bus->queueLength : 0;
}

SmStatus SmSetParameter(int32_t handle, uint8_t node, uint16_t address, int32_t value) {
  SmStatus status = SmQueueCommand(handle, kSmSetAddress, address & 0x3FFF);
  status |= SmQueueCommand(handle, kSmValue32, value);
  status |= SmExecuteQueue(handle, node);
  int32_t ignored = 0;
  status |= SmNextReturnValue(handle, &ignored);
  status |= SmNextReturnValue(handle, &ignored);
  return status;
}

SmStatus SmGetParameter(int32_t handle, uint8_t node, uint16_t address, int32_t* value) {
  // Drive parameter 10 := 0 and parameter 9 := the wanted address; the
  // drive answers the fourth sub-command with that parameter's value.
  SmStatus status = SmQueueCommand(handle, kSmSetAddress, 10);
  status |= SmQueueCommand(handle, kSmValue24, 0);
  status |= SmQueueCommand(handle, kSmSetAddress, 9);
  status |= SmQueueCommand(handle, kSmValue24, static_cast<int32_t>(address & 0x3FFFFF));
  status |= SmExecuteQueue(handle, node);
  int32_t ignored = 0;
  for (int i = 0; i < 3; ++i) status |= SmNextReturnValue(handle, &ignored);
  int32_t result = 0;
  status |= SmNextReturnValue(handle, &result);
  if (value != nullptr) *value = result;
  return status;
}

const char* SmStatusText(const char* prefix, SmStatus status, char* out, size_t size) {
  if (out == nullptr || size == 0) return out;
  if (size > kSmStatusTextSize) size = kSmStatusTextSize;
  if (status == kSmOk) {
    std::snprintf(out, size, "Ok");
    return out;
  }
  static const char* const kBitNames[] = {"No Device ", "Bus ", "Comm ", "Parameter ", "Length "};
  int used = std::snprintf(out, size, "%s : 0x%x ->", prefix != nullptr ? prefix : "", status);
  for (int bit = 1; bit <= 5; ++bit) {
    if ((status & (1u << bit)) == 0) continue;
    if (used < 0 || static_cast<size_t>(used) >= size) break;
    const int n = std::snprintf(out + used, size - static_cast<size_t>(used), "- %s", kBitNames[bit - 1]);
    if (n < 0) break;
    used += n;
  }
  return out;
}
