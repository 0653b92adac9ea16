#pragma once
// Native backends only: where COM port n lives on a POSIX system, one map for
// the wheel's serial channel and the drive's RS485 port alike.
//
// Lookup order: the path set for port n, then <directory>/COM<n> when a
// directory is set, then the caller's own device family numbered from 0
// (<family><n-1>: /dev/ttyS for the wheel, also Wine's numbering; /dev/ttyUSB
// for the drive's USB-RS485 adapter). Tests and the stand-ins point a port at
// a pseudo-terminal or at a symbolic link to one (a link survives a stand-in
// dropping out and coming back on a new pseudo-terminal).
#include <cstddef>
#include <cstdint>

// path null or empty removes the override.
void SetComPortPath(uint8_t port, const char* path);
// directory null or empty switches the directory lookup off.
void SetComPortDirectory(const char* directory);
// Writes the device path of COM<port>; false when it does not fit.
bool ComPortPath(uint8_t port, const char* family, char* out, size_t size);

// Closes a port opened for one user (TIOCEXCL). The mark stays on a
// pseudo-terminal's slave after its close (the tty lives on with its master)
// and would refuse anyone but root the next open of a port that is free
// again, so it goes first. Returns what close returns.
int CloseComPort(int fd);
