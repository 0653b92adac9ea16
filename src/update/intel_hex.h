#pragma once
// The look at a firmware file before the board is reset for it: Intel HEX
// text whose every record is well formed with a good checksum, that ends
// with an end-of-file record, and whose data lie inside the ATmega32u4's
// application area (below the 4 KiB its bootloader keeps at the top of the
// 32 KiB of flash).
#include <cstddef>
#include <cstdint>

constexpr uint32_t kApplicationFlashEnd = 0x7000;

struct HexCheck {
  bool ok = false;
  uint32_t line = 0;           // the line of the first fault (from 1)
  const char* reason = "";     // what is wrong, for the log
  uint32_t dataBytes = 0;      // bytes of program the file holds
  uint32_t highestAddress = 0; // one past the last byte written
};

// Whitespace around records and empty lines are accepted; after the
// end-of-file record only whitespace may follow.
HexCheck CheckIntelHex(const char* text, size_t size, uint32_t flashEnd = kApplicationFlashEnd);
