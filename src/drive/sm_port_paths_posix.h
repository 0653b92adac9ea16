#pragma once
// Native backend only: where the RS485 port slots find a port on a POSIX
// system. A name beginning with "/dev/tty" is opened as it is; a name
// "COM<n>" (n = 1..255) goes through the COM port map of
// exec/com_port_paths_posix.h, whose last resort for the drive's adapter is
// /dev/ttyUSB<n-1>. Any other "COM..." name opens nothing.
#include <cstddef>

// The device path for a port name; false when the name maps to nothing or
// the path does not fit.
bool SmPortDevicePath(const char* name, char* out, size_t size);
