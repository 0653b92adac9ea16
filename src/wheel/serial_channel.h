#pragma once
// The COM-port object that owns the wheel board's virtual serial port.
//
// serial_channel_win32.cpp is the product's backend (\\.\COMn, DCB, comm
// time-outs); serial_channel_posix.cpp runs the same contract on termios for
// native tests and tools (any tty or pseudo-terminal, see serial_port_paths.h).
// Everything above it (handshake, parameter protocol, status) is written
// against the virtual operations only, so tests substitute a fake by deriving.
//
// Time bounds (both backends): no call blocks for more than a few milliseconds.
//   Write  waits at most count + 5 ms; a short count means that time ran out
//          (or the port failed, in which case the channel is closed).
//   Read   makes at most 5 attempts; one attempt waits at most
//          (bytes still missing) + 2 ms when nothing comes, or 20 ms of silence
//          after a byte. A short count is a time-out, not an error.
//   WaitForInput waits at most the time it is given.
// A port that fails under a write or under the status query of
// BytesAvailable (a USB board pulled out, a pseudo-terminal whose other end
// went away) is closed at once, so the layers above see "closed" and probe
// again instead of talking into a dead handle.
#include <cstdint>

class SerialChannel {
 public:
  static constexpr intptr_t kInvalidHandle = -1;

  SerialChannel() = default;
  // Purge, then close when open.
  virtual ~SerialChannel();
  SerialChannel(const SerialChannel&) = delete;
  SerialChannel& operator=(const SerialChannel&) = delete;

  // Slot 0. Opens COM port (port modulo 256) at baud, 8N1, no flow control,
  // DTR raised, RTS low, exclusive. An open port is closed first.
  // 1 on success, 0 on failure (the channel is then closed).
  virtual int Open(uint32_t port, uint32_t baud);
  // Slot 1. The platform's close result, or -1 when nothing was open.
  virtual int Close();
  // Slot 2. Bytes written; 0 when closed.
  virtual uint32_t Write(const void* data, uint32_t count);
  // Slot 3. Bytes read, in arrival order; may be short (time-out), 0 when closed.
  virtual uint32_t Read(void* data, uint32_t count);
  // Slot 4. Write of the text without its terminating NUL.
  virtual uint32_t WriteText(const char* text);
  // Slot 5. Received bytes waiting; 0 when closed or when the query fails.
  virtual uint32_t BytesAvailable();
  // Slot 6. One byte, 0 when nothing arrived (check BytesAvailable first).
  virtual uint8_t ReadByte();
  // Slot 7. Write of one byte.
  virtual uint32_t WriteByte(uint8_t value);
  // Slot 8. Discards both buffers and aborts pending transfers.
  virtual void Purge();
  // Slot 9. on: DTR and RTS raised, break cleared; off: both lowered, break set.
  virtual void SetLines(bool on);
  // Slot 10. Sleeps until at least one received byte is waiting or maxUs have
  // passed, so polling loops do not spin a core. True when a byte is waiting.
  // Returns at once when closed. The Windows backend sleeps about 1 ms per
  // call whatever maxUs is (the caller re-checks its own deadline).
  virtual bool WaitForInput(uint32_t maxUs);

  bool IsOpen() const { return handle_ != kInvalidHandle; }

 protected:
  // HANDLE on Windows, file descriptor on POSIX; kInvalidHandle when closed.
  // A fake that marks itself open must set it back before it is destroyed.
  intptr_t handle_ = kInvalidHandle;
};

// The five read/write time-outs of the channel, in milliseconds.
constexpr uint32_t kSerialReadIntervalMs = 20;
constexpr uint32_t kSerialReadPerByteMs = 1;
constexpr uint32_t kSerialReadConstantMs = 2;
constexpr uint32_t kSerialWritePerByteMs = 1;
constexpr uint32_t kSerialWriteConstantMs = 5;
constexpr int kSerialReadAttempts = 5;
