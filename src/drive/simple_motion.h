#pragma once
// The host side of the SimpleMotion bus as the tool uses it: ten bus handles,
// each on one RS485 port slot (sm_port.h); a per-bus queue of sub-commands
// sent together in one buffered-command packet (0x24) to one drive node; the
// CRC-16/ARC of every packet; a byte-by-byte receive state machine; and two
// operations on top, set one drive parameter and read one.
//
// Synchronous and bounded: an exchange sends, then reads its reply, which
// must be complete one read time-out after the send; a communication error
// drains the line until it is silent for one read time-out, but for no more
// than one read time-out in all. A silent drive costs two read time-outs
// (400 ms on the drive port); a line that trickles junk at most four, since
// the last single-byte read of each phase may start just before its limit.
// Input already waiting when a request goes out is dropped first, so a reply
// that came too late for its own exchange is never taken for the next one's.
//
// No operation allocates memory. User-interface thread only; nothing is locked.
#include <cstddef>
#include <cstdint>

class LinkClock;

// Bit set; steps are OR-combined, so an operation succeeded only when its
// status is exactly kSmOk.
using SmStatus = uint32_t;
constexpr SmStatus kSmOk = 1;
constexpr SmStatus kSmNoDevice = 2;        // handle outside 0..9 or not open
constexpr SmStatus kSmBusError = 4;        // transmit buffer refused a byte, or the write failed
constexpr SmStatus kSmCommError = 8;       // no (complete) reply in time, bad CRC, bad command byte, over-long payload
constexpr SmStatus kSmParameterError = 16; // unknown sub-command kind
constexpr SmStatus kSmLengthError = 32;    // queue full, or a return value past the reply's payload

constexpr int kSmBusCount = 10;
constexpr int kSmBufferSize = 120;
constexpr uint8_t kSmBufferedCommand = 0x24;  // SMCMD_BUFFERED_CMD

// Sub-command kinds of SmQueueCommand.
constexpr int kSmValue32 = 0;       // 4 bytes, top bits 00, 30-bit value
constexpr int kSmValue24 = 1;       // 3 bytes, top bits 01, 22-bit value
constexpr int kSmSetAddress = 2;    // 2 bytes, top bits 10, 14-bit parameter address

// A bus on the named port (see SmPortOpen); the handle 0..9, or -1.
int32_t SmOpenBus(const char* portName);
// kSmOk, or kSmNoDevice when the handle was not open.
SmStatus SmCloseBus(int32_t handle);
// Writes value (30-bit signed) to the 14-bit parameter address on the node.
SmStatus SmSetParameter(int32_t handle, uint8_t node, uint16_t address, int32_t value);
// Reads a parameter; *value is stored also on failure (0 when the reply's
// fourth value could not be decoded).
SmStatus SmGetParameter(int32_t handle, uint8_t node, uint16_t address, int32_t* value);

// The steps the two operations above are made of.
SmStatus SmQueueCommand(int32_t handle, int kind, int32_t value);
SmStatus SmExecuteQueue(int32_t handle, uint8_t node);
SmStatus SmReceiveByte(int32_t handle, uint8_t byte);
// The next return value of the last reply; a value that does not lie wholly
// inside the reply's payload gives kSmLengthError and 0.
SmStatus SmNextReturnValue(int32_t handle, int32_t* value);
// Drains the line (when asked) and resets the receiver and the queue; kSmCommError.
SmStatus SmResetReceiver(int32_t handle, bool drain);
// Queue bytes waiting to be sent (0..120); 0 for a handle that is not open.
int16_t SmQueueLength(int32_t handle);

// CRC-16/ARC of the bytes (0xBB3D for "123456789"); sent low byte first.
uint16_t SmCrc16(const uint8_t* data, size_t count);

// "Ok" for kSmOk; otherwise "<prefix> : 0x<status> ->" followed by "- No Device ",
// "- Bus ", "- Comm ", "- Parameter ", "- Length " for each bit set, cut to
// size - 1 (the text never exceeds 127 characters). Returns out.
constexpr size_t kSmStatusTextSize = 128;
const char* SmStatusText(const char* prefix, SmStatus status, char* out, size_t size);

// The clock the exchange bounds are measured on; null puts the system's back.
void SetSimpleMotionClock(LinkClock* clock);
