// Windows backend of the serial channel: the board's USB virtual COM port
// through the communications API, synchronous I/O bounded by comm time-outs.
#include <windows.h>

#include <cstdio>

#include "wheel/serial_channel.h"

namespace {

HANDLE H(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

}  // namespace

SerialChannel::~SerialChannel() {
  Purge();
  if (IsOpen()) CloseHandle(H(handle_));
  handle_ = kInvalidHandle;
}

int SerialChannel::Open(uint32_t port, uint32_t baud) {
  // The device-path form also reaches COM10 and above.
  char name[16];
  std::snprintf(name, sizeof name, "\\\\.\\COM%d", static_cast<int>(port % 256));
  if (IsOpen()) Close();
  HANDLE h = CreateFileA(name, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  if (h == INVALID_HANDLE_VALUE) return 0;
  handle_ = reinterpret_cast<intptr_t>(h);

  // The results of the three settings calls are not checked: a port that
  // opened is used as it is.
  DCB dcb;
  ZeroMemory(&dcb, sizeof dcb);
  dcb.DCBlength = sizeof dcb;
  GetCommState(h, &dcb);
  dcb.BaudRate = baud;
  dcb.fBinary = TRUE;
  dcb.fParity = FALSE;
  dcb.fOutxCtsFlow = FALSE;
  dcb.fOutxDsrFlow = FALSE;
  dcb.fDtrControl = DTR_CONTROL_ENABLE;
  dcb.fDsrSensitivity = FALSE;
  dcb.fOutX = FALSE;
  dcb.fInX = FALSE;
  dcb.fRtsControl = RTS_CONTROL_DISABLE;
  dcb.fAbortOnError = FALSE;
  dcb.ByteSize = 8;
  dcb.Parity = NOPARITY;
  dcb.StopBits = ONESTOPBIT;
  SetCommState(h, &dcb);

  COMMTIMEOUTS timeouts;
  ZeroMemory(&timeouts, sizeof timeouts);
  GetCommTimeouts(h, &timeouts);
  timeouts.ReadIntervalTimeout = kSerialReadIntervalMs;
  timeouts.ReadTotalTimeoutMultiplier = kSerialReadPerByteMs;
  timeouts.ReadTotalTimeoutConstant = kSerialReadConstantMs;
  timeouts.WriteTotalTimeoutMultiplier = kSerialWritePerByteMs;
  timeouts.WriteTotalTimeoutConstant = kSerialWriteConstantMs;
  SetCommTimeouts(h, &timeouts);

  SetCommMask(h, EV_RXCHAR);
  return 1;
}

int SerialChannel::Close() {
  Purge();
  if (!IsOpen()) return -1;
  int result = CloseHandle(H(handle_));
  handle_ = kInvalidHandle;
  return result;
}

uint32_t SerialChannel::Write(const void* data, uint32_t count) {
  if (!IsOpen() || data == nullptr) return 0;
  DWORD written = 0;
  if (!WriteFile(H(handle_), data, count, &written, nullptr)) {
    // A time-out still returns TRUE with a short count; FALSE means the device
    // is gone (board unplugged). Close so the status refresh probes again.
    Close();
  }
  return written;
}

uint32_t SerialChannel::Read(void* data, uint32_t count) {
  if (!IsOpen() || data == nullptr) return 0;
  uint8_t* bytes = static_cast<uint8_t*>(data);
  uint32_t total = 0;
  for (int attempt = 0; total < count && attempt < kSerialReadAttempts; ++attempt) {
    DWORD got = 0;
    ReadFile(H(handle_), bytes + total, count - total, &got, nullptr);
    total += got;
  }
  return total;
}

uint32_t SerialChannel::BytesAvailable() {
  if (!IsOpen()) return 0;
  DWORD errors = 0;
  COMSTAT status;
  ZeroMemory(&status, sizeof status);
  if (!ClearCommError(H(handle_), &errors, &status)) {
    // Fails only when the device has gone away: close the dead handle.
    Close();
    return 0;
  }
  return status.cbInQue;
}

void SerialChannel::Purge() {
  if (!IsOpen()) return;
  PurgeComm(H(handle_), PURGE_TXABORT | PURGE_RXABORT | PURGE_TXCLEAR | PURGE_RXCLEAR);
}

void SerialChannel::SetLines(bool on) {
  if (!IsOpen()) return;
  HANDLE h = H(handle_);
  EscapeCommFunction(h, on ? SETDTR : CLRDTR);
  EscapeCommFunction(h, on ? SETRTS : CLRRTS);
  EscapeCommFunction(h, on ? CLRBREAK : SETBREAK);
}

bool SerialChannel::WaitForInput(uint32_t maxUs) {
  if (!IsOpen()) return false;
  // A synchronous handle has no bounded WaitCommEvent; one timer period of
  // sleep keeps the caller's loop off the processor (the callers have just
  // looked at the queue, so there is no point in looking first).
  Sleep(1);
  return BytesAvailable() > 0;
}
