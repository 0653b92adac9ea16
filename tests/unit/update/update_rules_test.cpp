// The rules that keep what the update server says from doing harm: which
// addresses the shell may open, which firmware names may be written and
// flashed, which hosts a request may name; the flasher's command line and
// the intel HEX check.
#include <gtest/gtest.h>

#include <string>

#include "profiles/settings.h"
#include "update/intel_hex.h"
#include "update/process_io.h"
#include "update/socket_io.h"
#include "update/updater.h"

namespace {

TEST(UpdateRules, WhatTheShellMayOpen) {
  const struct {
    const char* url;
    bool open;
  } cases[] = {
      {"http://127.0.0.1/base/1033/setup.exe", true},
      {"https://example.org/tillerset/1033/setup.exe", true},
      {"HTTP://example.org/setup.exe", true},
      {"base/1033/setup.exe", false},  // not an address: the shell would run a file
      {"file:///C:/Windows/System32/calc.exe", false},
      {"C:\\Windows\\System32\\calc.exe", false},
      {"calc.exe", false},
      {"http://example.org/a b.exe", false},
      {"http://example.org/\"x", false},
      {"http://example.org/\tx", false},
      {"httpx://example.org/", false},
      {"", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsDownloadUrl(c.url), c.open) << c.url;
  EXPECT_FALSE(IsDownloadUrl(nullptr));
}

TEST(UpdateRules, WhatMayBeWrittenAndFlashedAsFirmware) {
  const struct {
    const char* name;
    bool plain;
  } cases[] = {
      {"wheel_1_6.hex", true}, {"Wheel-1.6+fix~2.HEX", true}, {"fw/wheel.hex", false}, {"fw\\wheel.hex", false},
      {"..\\config.ini.hex", false}, {"wheel..hex", false}, {"C:wheel.hex", false}, {"\"wheel.hex", false},
      {"wheel.hex\"", false}, {"wheel'.hex", false}, {"wheel 1.hex", false}, {"wheel.bin", false},
      {"wheel.hex.exe", false},
      // Windows device names, whatever follows the first dot: the image would go to a device.
      {"NUL.hex", false}, {"con.HEX", false}, {"Aux.hex", false}, {"prn.hex", false}, {"COM1.hex", false},
      {"lpt9.hex", false}, {"nul.tar.hex", false}, {"NULL.hex", true}, {"COM10.hex", true}, {"console.hex", true},
      {".hex", true}, {"Missing parameter", false}, {"", false},
      {"a23456789012345678901234567890123456789012345678901234567890.hex", false},  // 64 characters
      {"a2345678901234567890123456789012345678901234567890123456789.hex", true},    // 63
  };
  for (const auto& c : cases) EXPECT_EQ(IsPlainFirmwareName(c.name), c.plain) << c.name;
}

TEST(UpdateRules, HostsARequestLineMayName) {
  const struct {
    const char* host;
    bool ok;
    bool dotted;
    uint32_t address;  // network order, as the socket layer wants it
  } cases[] = {
      {"127.0.0.1", true, true, 0x0100007F}, {"192.168.1.10", true, true, 0x0A01A8C0},
      {"tillerset-updates", true, false, 0}, {"updates.example.org", true, false, 0},
      {"256.0.0.1", true, false, 0},  // a name as far as the rules go: the resolver says no
      {"1.2.3", true, false, 0}, {"1.2.3.4.5", true, false, 0}, {"host:8080", false, false, 0},
      {"host/path", false, false, 0}, {"a b", false, false, 0}, {"", false, false, 0},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(IsServerHostName(c.host), c.ok) << c.host;
    uint32_t address = 0;
    EXPECT_EQ(ParseDottedIPv4(c.host, &address), c.dotted) << c.host;
    if (c.dotted) {
      EXPECT_EQ(address, c.address) << c.host;
    }
  }
  EXPECT_FALSE(IsServerHostName(std::string(256, 'a').c_str()));
  EXPECT_TRUE(IsServerHostName(std::string(255, 'a').c_str()));
}

TEST(UpdateRules, FlasherArgumentsInTheirOrder) {
  FlasherArguments args;
  ASSERT_TRUE(MakeFlasherArguments(12, "wheel_1_6.hex", &args));
  const char* const expected[] = {"avrdude", "-CTools\\avrdude.conf", "-v", "-patmega32u4", "-cavr109",
                                  "-PCOM12", "-b57600", "-D", "-Uflash:w:wheel_1_6.hex:i"};
  for (int i = 0; i < kFlasherArgCount; ++i) EXPECT_STREQ(args.list[i], expected[i]);
  EXPECT_EQ(args.list[kFlasherArgCount], nullptr);
}

// What the C runtime of the started program parses back must be the list
// given; a folder or name with spaces stays one argument.
TEST(UpdateRules, CommandLineQuoting) {
  const struct {
    std::vector<const char*> args;
    const char* line;
  } cases[] = {
      {{"avrdude", "-v", "-PCOM9"}, "avrdude -v -PCOM9"},
      {{"avrdude", "-Uflash:w:my firmware.hex:i"}, "avrdude \"-Uflash:w:my firmware.hex:i\""},
      {{"x", "C:\\Program Files\\Tillerset\\"}, "x \"C:\\Program Files\\Tillerset\\\\\""},
      {{"x", "C:\\Tools\\avrdude.conf"}, "x C:\\Tools\\avrdude.conf"},
      {{"x", "say \"hi\""}, "x \"say \\\"hi\\\"\""},
      {{"x", "a\\\"b"}, "x \"a\\\\\\\"b\""}, {{"x", ""}, "x \"\""}, {{"x", "tab\there"}, "x \"tab\there\""},
  };
  for (const auto& c : cases) {
    std::vector<const char*> args = c.args;
    args.push_back(nullptr);
    char line[256];
    ASSERT_TRUE(BuildCommandLine(args.data(), line, sizeof line));
    EXPECT_STREQ(line, c.line);
  }
  const char* const tooLong[] = {"avrdude", "-Uflash:w:wheel_1_6.hex:i", nullptr};
  char small[10];
  EXPECT_FALSE(BuildCommandLine(tooLong, small, sizeof small));
  EXPECT_STREQ(small, "");
}

// A record line: count, address, type, data, checksum.
std::string Record(uint8_t type, uint16_t address, const std::vector<uint8_t>& data, int checksumError = 0) {
  std::vector<uint8_t> bytes = {static_cast<uint8_t>(data.size()), static_cast<uint8_t>(address >> 8),
                                static_cast<uint8_t>(address), type};
  bytes.insert(bytes.end(), data.begin(), data.end());
  uint8_t sum = 0;
  for (uint8_t b : bytes) sum = static_cast<uint8_t>(sum + b);
  bytes.push_back(static_cast<uint8_t>(-sum + checksumError));
  std::string line = ":";
  char hex[3];
  for (uint8_t b : bytes) {
    std::snprintf(hex, sizeof hex, "%02X", b);
    line += hex;
  }
  return line + "\r\n";
}

TEST(IntelHex, WhatCountsAsFirmwareForTheBoard) {
  const std::vector<uint8_t> sixteen(16, 0x5A);
  const std::string data = Record(0, 0x0000, sixteen) + Record(0, 0x0010, sixteen);
  const std::string end = ":00000001FF\r\n";
  struct Case {
    const char* what;
    std::string text;
    bool ok;
    const char* reason;
  };
  const Case cases[] = {
      {"two records and the end", data + end, true, ""},
      {"LF line ends, lower case", ":0100000055AA\n:00000001ff\n", true, ""},
      {"last byte of the application area", Record(0, 0x6FFF, {1}) + end, true, ""},
      {"a byte into the bootloader", Record(0, 0x6FF1, sixteen) + end, false, "data outside the application area"},
      {"a linear base past the flash", Record(4, 0, {0x00, 0x01}) + Record(0, 0, {1}) + end, false,
       "data outside the application area"},
      {"a linear base that wraps", Record(4, 0, {0xFF, 0xFF}) + Record(0, 0xFFFF, {1, 2}) + end, false,
       "data outside the application area"},
      {"a segment base inside", Record(2, 0, {0x01, 0x00}) + Record(0, 0, {1}) + end, true, ""},
      {"a wrong checksum", Record(0, 0, sixteen, 1) + end, false, "a record with a wrong checksum"},
      {"no end record", data, false, "no end-of-file record"},
      {"cut in a record", data.substr(0, data.size() - 9) + "\r\n" + end, false, "a record of the wrong length"},
      {"text after the end", data + end + "junk\r\n", false, "text after the end-of-file record"},
      {"an HTML error page", "<html>404</html>\r\n", false, "a line that is not a record"},
      {"not hexadecimal", ":0100000G55AA\r\n" + end, false, "a character that is not a hexadecimal digit"},
      {"count does not match", ":0200000055AA\r\n" + end, false, "a record whose byte count does not match"},
      {"unknown type", Record(6, 0, {}) + end, false, "a record of an unknown type"},
      {"nothing but the end", end, false, "no program data"},
      {"empty", "", false, "no end-of-file record"},
  };
  for (const Case& c : cases) {
    const HexCheck check = CheckIntelHex(c.text.data(), c.text.size());
    EXPECT_EQ(check.ok, c.ok) << c.what;
    EXPECT_STREQ(check.reason, c.reason) << c.what;
  }
  const HexCheck good = CheckIntelHex((data + end).data(), data.size() + end.size());
  EXPECT_EQ(good.dataBytes, 32u);
  EXPECT_EQ(good.highestAddress, 32u);
}

}  // namespace
