#pragma once
// Native backend only: where the RS485 port slots find a port on a POSIX
// system. A name beginning with "/dev/tty" is opened as it is. A name
// "COM<n>" (n = 1..255) is looked up in this order:
//   1. the path set for port n (SetSmPortPath),
//   2. <directory>/COM<n> when a directory is set (SetSmPortDirectory),
//   3. /dev/ttyUSB<n-1>, where a USB-RS485 adapter shows up on Linux.
// Tests and the stand-in drive point a port at a pseudo-terminal or at the
// stand-in's symbolic link to one (the link survives the stand-in dropping
// out and coming back on a new pseudo-terminal). Any other "COM..." name
// opens nothing.
#include <cstddef>
#include <cstdint>

// path null or empty removes the override.
void SetSmPortPath(uint8_t port, const char* path);
// directory null or empty switches the directory lookup off.
void SetSmPortDirectory(const char* directory);
// The device path for a port name; false when the name maps to nothing or
// the path does not fit.
bool SmPortDevicePath(const char* name, char* out, size_t size);
