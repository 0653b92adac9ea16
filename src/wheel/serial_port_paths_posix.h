#pragma once
// Native backend only: where COM port n lives on a POSIX system.
//
// Lookup order: a path set for that port number, then <directory>/COM<n> when
// a directory is set, then /dev/ttyS<n-1> (the usual numbering, also Wine's).
// Tests and the stand-in board point a port at a pseudo-terminal or at a
// symbolic link to one (a link survives the board dropping out and coming
// back on a new pseudo-terminal).
#include <cstddef>
#include <cstdint>

// path null or empty removes the override.
void SetSerialPortPath(uint8_t port, const char* path);
// directory null or empty switches the directory lookup off.
void SetSerialPortDirectory(const char* directory);
// Writes the path that Open(port) uses; false when it does not fit.
bool SerialPortPath(uint8_t port, char* out, size_t size);
