#include "update/intel_hex.h"

namespace {

constexpr uint32_t kMaxRecordData = 255;

int Nibble(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

bool Space(char c) { return c == ' ' || c == '\t' || c == '\r'; }

}  // namespace

HexCheck CheckIntelHex(const char* text, size_t size, uint32_t flashEnd) {
  HexCheck check;
  uint32_t base = 0;  // from extended segment (02) or linear (04) address records
  bool ended = false;
  size_t at = 0;
  uint32_t lineNumber = 0;
  auto fail = [&](const char* reason) {
    check.ok = false;
    check.line = lineNumber;
    check.reason = reason;
    return check;
  };
  if (text == nullptr) size = 0;
  while (at < size) {
    ++lineNumber;
    size_t end = at;
    while (end < size && text[end] != '\n') ++end;
    size_t first = at;
    size_t last = end;
    while (first < last && Space(text[first])) ++first;
    while (last > first && Space(text[last - 1])) --last;
    at = end < size ? end + 1 : end;
    if (first == last) continue;
    if (ended) return fail("text after the end-of-file record");
    if (text[first] != ':') return fail("a line that is not a record");
    const size_t digits = last - first - 1;
    if (digits % 2 != 0 || digits < 10) return fail("a record of the wrong length");
    uint8_t bytes[kMaxRecordData + 5];
    const size_t count = digits / 2;
    if (count > sizeof bytes) return fail("a record of the wrong length");
    for (size_t i = 0; i < count; ++i) {
      const int high = Nibble(text[first + 1 + 2 * i]);
      const int low = Nibble(text[first + 2 + 2 * i]);
      if (high < 0 || low < 0) return fail("a character that is not a hexadecimal digit");
      bytes[i] = static_cast<uint8_t>(high << 4 | low);
    }
    const uint32_t length = bytes[0];
    if (count != length + 5) return fail("a record whose byte count does not match");
    uint8_t sum = 0;
    for (size_t i = 0; i < count; ++i) sum = static_cast<uint8_t>(sum + bytes[i]);
    if (sum != 0) return fail("a record with a wrong checksum");
    const uint32_t offset = uint32_t{bytes[1]} << 8 | bytes[2];
    const uint8_t type = bytes[3];
    const uint8_t* data = bytes + 4;
    switch (type) {
      case 0x00: {
        // 64-bit: a high linear base plus the offset must not wrap into range.
        const uint64_t start = uint64_t{base} + offset;
        if (start + length > flashEnd) return fail("data outside the application area");
        check.dataBytes += length;
        if (start + length > check.highestAddress) check.highestAddress = static_cast<uint32_t>(start + length);
        break;
      }
      case 0x01:
        if (length != 0) return fail("an end-of-file record with data");
        ended = true;
        break;
      case 0x02:
        if (length != 2) return fail("a segment address record of the wrong length");
        base = (uint32_t{data[0]} << 8 | data[1]) << 4;
        break;
      case 0x04:
        if (length != 2) return fail("a linear address record of the wrong length");
        base = (uint32_t{data[0]} << 8 | data[1]) << 16;
        break;
      case 0x03:
      case 0x05:
        if (length != 4) return fail("a start address record of the wrong length");
        break;
      default:
        return fail("a record of an unknown type");
    }
  }
  if (!ended) return fail("no end-of-file record");
  if (check.dataBytes == 0) return fail("no program data");
  check.ok = true;
  check.line = 0;
  check.reason = "";
  return check;
}
