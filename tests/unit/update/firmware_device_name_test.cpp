// Firmware names that Windows opens as devices are refused before anything
// is written or the board is reset.
#include <gtest/gtest.h>

#include "update/updater.h"

TEST(FirmwareDeviceNames, WindowsDeviceNamesAreNotPlainNames) {
  const struct {
    const char* name;
    bool plain;
  } cases[] = {
      {"NUL.hex", false},     {"nul.hex", false},       {"CON.hex", false},      {"Aux.HEX", false},
      {"prn.hex", false},     {"COM1.hex", false},      {"com9.hex", false},     {"LPT1.hex", false},
      {"lpt0.hex", false},    {"NUL.tar.hex", false},   {"COM1.fw.hex", false},
      // Names that only look alike stay plain.
      {"NULL.hex", true},     {"COM10.hex", true},      {"COMA.hex", true},      {"console.hex", true},
      {"wheel_nul.hex", true}, {"auxiliary.hex", true}, {"LPT.hex", true},       {"com1x.hex", true},
  };
  for (const auto& c : cases) EXPECT_EQ(IsPlainFirmwareName(c.name), c.plain) << c.name;
}
