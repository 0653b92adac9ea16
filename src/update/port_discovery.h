#pragma once
// COM ports by their USB ids, through the port lister Tools\listComPorts.exe:
// started without arguments, it prints one line per COM port holding "COM"
// and the port number and, for a USB device, after that "VID_" and "PID_"
// with the ids in hexadecimal (as in a Windows hardware id).
#include <cstddef>
#include <cstdint>

#include "update/process_io.h"

class UpdateView;

constexpr uint16_t kWheelVendorId = 0x2341;   // the wheel controller board
constexpr uint16_t kWheelProductId = 0x8036;
constexpr uint16_t kBootloaderProductId = 0x0036;  // the board's bootloader (vendor 0x2341)
constexpr uint16_t kRs485VendorId = 0x0403;   // the drive's USB-to-RS485 adapter
constexpr uint16_t kRs485ProductId = 0x6001;

constexpr char kPortListerProgram[] = "Tools\\listComPorts.exe";
constexpr char kPortListerName[] = "listComPorts.exe";
constexpr char kPortListerMissing[] = "Could not execute listComPorts.exe";
// A lister that has not finished by then is ended (its lines so far count).
constexpr uint32_t kPortListerTimeoutMs = 10000;
constexpr size_t kPortListerOutputMax = 64 * 1024;
// Lines are read 127 characters at a time (a longer one is several lines);
// the markers count only within the first 128 characters of a line.
constexpr size_t kPortLineChars = 127;
constexpr size_t kPortMarkerWindow = 128;
// Every port number there can be: a PC with many Bluetooth ports must not
// hide the bootloader behind them.
constexpr int kMaxListedPorts = 255;

struct PortList {
  uint8_t ports[kMaxListedPorts] = {};
  int count = 0;
  // The last listed port that shows the bootloader's USB ids; 0 when none.
  uint8_t bootloaderPort = 0;
  bool Contains(uint8_t port) const;
};

// The ports of the lister's output, in its order, each once.
void ReadPortList(const char* output, size_t size, PortList* list);
// Where the bootloader is after the reset: the port that shows its USB ids,
// new or not; without one, the last port that was not there before; 0 when
// neither.
uint8_t BootloaderPortAfterReset(const PortList& before, const PortList& after);

// The lister's output as lines of at most kPortLineChars characters, the way
// a text-mode read of 128-byte pieces gives them (CR LF is a line end; the
// line end is not part of the line). Calls line(text, length, context) for
// each until it returns false.
void ForEachListerLine(const char* output, size_t size,
                       bool (*line)(const char* text, size_t length, void* context), void* context);
// The port n (1..128, tried from 128 down) whose "COM<n>" stands on the line
// with "VID_" and "PID_" behind it carrying these ids; 0 when none.
uint8_t PortWithIds(const char* line, size_t length, uint16_t vendorId, uint16_t productId);
// The number behind the line's first "COM"; 0 when there is none or it is
// not a port number (1..255).
uint8_t FirstPortOnLine(const char* line, size_t length);

// The COM port of the device with these ids, 0 when none. Logs the ids and
// each line it reads until the port is found.
uint8_t FindComPortFromIds(ProcessRunner& processes, UpdateView* view, uint16_t vendorId,
                           uint16_t productId);
// The ports the lister prints, in its order; false when the
// lister could not be run (the list is then empty). Both tell the view
// "Could not execute listComPorts.exe" when the lister cannot be started.
bool ListComPorts(ProcessRunner& processes, UpdateView* view, PortList* list);
