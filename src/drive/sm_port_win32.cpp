// Windows device under the RS485 port slots: the USB-RS485 adapter's COM port
// through the communications API, synchronous I/O bounded by comm time-outs.
#include <windows.h>

#include <cstdio>
#include <new>

#include "drive/sm_port.h"

namespace {

HANDLE H(intptr_t handle) { return reinterpret_cast<HANDLE>(handle); }

class Win32SmPortDevice : public SmPortDevice {
 public:
  SmOpenResult Open(const char* name, uint16_t readTimeoutMs, intptr_t* handle) override {
    // The device-path form also reaches COM10 and above.
    char path[MAX_PATH];
    const int n = std::snprintf(path, sizeof path, "\\\\.\\%s", name);
    if (n < 0 || n >= static_cast<int>(sizeof path)) return SmOpenResult::kNoDevice;
    HANDLE h = CreateFileA(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return SmOpenResult::kNoDevice;

    DCB dcb;
    ZeroMemory(&dcb, sizeof dcb);
    dcb.DCBlength = sizeof dcb;
    if (!BuildCommDCBA(kSmLineMode, &dcb)) {
      CloseHandle(h);
      return SmOpenResult::kBadLineMode;
    }
    if (!SetCommState(h, &dcb)) {
      CloseHandle(h);
      return SmOpenResult::kLineRefused;
    }
    // No interval time-out: a single-byte read returns as soon as its byte is
    // there, or after the total constant with nothing.
    COMMTIMEOUTS timeouts;
    ZeroMemory(&timeouts, sizeof timeouts);
    timeouts.ReadIntervalTimeout = 0;
    timeouts.ReadTotalTimeoutMultiplier = 0;
    timeouts.ReadTotalTimeoutConstant = readTimeoutMs;
    timeouts.WriteTotalTimeoutMultiplier = kSmWritePerByteMs;
    timeouts.WriteTotalTimeoutConstant = kSmWriteConstantMs;
    if (!SetCommTimeouts(h, &timeouts)) {
      CloseHandle(h);
      return SmOpenResult::kTimeoutsRefused;
    }
    *handle = reinterpret_cast<intptr_t>(h);
    return SmOpenResult::kOpened;
  }

  int32_t Write(intptr_t handle, const uint8_t* data, int32_t count) override {
    DWORD written = 0;
    // A write time-out returns TRUE with a short count; FALSE is a dead device.
    if (!WriteFile(H(handle), data, static_cast<DWORD>(count), &written, nullptr)) return -1;
    return static_cast<int32_t>(written);
  }

  bool ReadByte(intptr_t handle, uint16_t, uint8_t* byte) override {
    // The time-out was fixed at open (ReadTotalTimeoutConstant).
    DWORD got = 0;
    return ReadFile(H(handle), byte, 1, &got, nullptr) && got == 1;
  }

  void DiscardInput(intptr_t handle) override { PurgeComm(H(handle), PURGE_RXCLEAR); }

  void Close(intptr_t handle) override { CloseHandle(H(handle)); }
};

}  // namespace

SmPortDevice& PlatformSmPortDevice() {
  // Never destroyed: a port still open at exit (the drive link of the static
  // ControlPanel, made before this object) is closed through it after the
  // function-local statics made later are gone. Placed in static storage, as
  // operator new goes to the runtime's pools while they exist.
  alignas(Win32SmPortDevice) static unsigned char storage[sizeof(Win32SmPortDevice)];
  static SmPortDevice* device = new (storage) Win32SmPortDevice;
  return *device;
}
