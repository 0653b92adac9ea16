#pragma once
// The RS485 port slots under the SimpleMotion bus: ten slots, each an open
// port with a 128-byte transmit buffer that goes out in one write per packet,
// and single-byte reads bounded by the read time-out that was in force when
// the port was opened. Separate from the board's SerialChannel.
//
// sm_port_win32.cpp opens "\\.\" + name with the communications API;
// sm_port_posix.cpp runs the same contract on termios (see
// sm_port_paths_posix.h for how "COM<n>" names become device paths there).
// Tests put a device of their own under the slots (SetSmPortDevice).
//
// Time bounds: SmPortReadByte waits at most the slot's read time-out; false
// means nothing came in that time (not an error). SmPortFlush waits at most
// 50 ms per byte + 50 ms; a short write is a failure. Nothing else blocks.
// No call allocates memory. User-interface thread only; nothing is locked.
#include <cstdint>

constexpr int kSmPortSlots = 10;
constexpr int kSmTransmitSize = 128;
constexpr uint16_t kSmDefaultReadTimeoutMs = 500;
constexpr uint32_t kSmWritePerByteMs = 50;
constexpr uint32_t kSmWriteConstantMs = 50;
constexpr char kSmLineMode[] = "baud=460800 data=8 parity=N stop=1";
constexpr uint32_t kSmBaud = 460800;

// Opens a port whose name begins with "COM" or "/dev/tty" (case-sensitive)
// at 460800 baud 8N1 with the current read time-out; the slot 0..9, or -1
// when the name is refused, all slots are in use or the device fails (one of
// four messages on standard output says which step failed).
int8_t SmPortOpen(const char* name);
// False when the slot is not open or its buffer already holds 128 bytes.
bool SmPortPutByte(int8_t slot, uint8_t byte);
// Writes the buffered bytes in one write; true only if all went out. The
// buffer is empty afterwards in every case.
bool SmPortFlush(int8_t slot);
// True when one byte came before the read time-out.
bool SmPortReadByte(int8_t slot, uint8_t* byte);
// Drops whatever input is already waiting, without waiting for more.
void SmPortDiscardInput(int8_t slot);
// True if an open slot was closed.
bool SmPortClose(int8_t slot);

// The module-wide read time-out used by the next open (500 ms until set).
void SetSmPortReadTimeout(uint16_t ms);
uint16_t SmPortReadTimeout();

// The platform under the slots. A handle is whatever the device hands out
// (a HANDLE, a file descriptor, a test's index).
enum class SmOpenResult {
  kOpened,
  kNoDevice,          // "unable to open comport"
  kBadLineMode,       // "unable to set comport dcb settings"
  kLineRefused,       // "unable to set comport cfg settings"
  kTimeoutsRefused,   // "unable to set comport time-out settings"
};

class SmPortDevice {
 public:
  virtual ~SmPortDevice() = default;
  // Opens name exclusively with the line settings and time-outs above; on any
  // failure after the device opened, the device closes it again itself.
  virtual SmOpenResult Open(const char* name, uint16_t readTimeoutMs, intptr_t* handle) = 0;
  // Bytes written (what the platform reported), or -1 when the write failed.
  virtual int32_t Write(intptr_t handle, const uint8_t* data, int32_t count) = 0;
  // Waits at most readTimeoutMs (the one given at open) for one byte.
  virtual bool ReadByte(intptr_t handle, uint16_t readTimeoutMs, uint8_t* byte) = 0;
  virtual void DiscardInput(intptr_t handle) = 0;
  virtual void Close(intptr_t handle) = 0;
};

// The platform's device (defined by the backend the build picks).
SmPortDevice& PlatformSmPortDevice();
// Puts a device under the slots; null puts the platform's back. Only while
// no slot is open.
void SetSmPortDevice(SmPortDevice* device);
