#pragma once
// Board parameters mirrored in the program: one WheelParameter per board
// setting shown in the pages, plus the bulk settings read with them.
#include <cstddef>
#include <cstdint>

// Size index -> bytes on the wire: 0 -> 4, 1 -> 2, 2 -> 1, 3 -> 0.
constexpr uint8_t kSizeIndex4 = 0;
constexpr uint8_t kSizeIndex2 = 1;
constexpr uint8_t kSizeIndex1 = 2;
constexpr uint8_t kSizeIndex0 = 3;
// Bytes for a size index; an index outside the table gives 0 bytes.
uint8_t WireSize(uint8_t sizeIndex);

// Display kinds (how ShowParameter turns a value into text).
constexpr uint8_t kShowNumber = 0;       // "%d"
constexpr uint8_t kShowPercent127 = 1;   // v * 100 / 127, unit
constexpr uint8_t kShowValueUnit = 2;    // v, unit (the steering angle)
constexpr uint8_t kShowSeconds = 3;      // v / 10 seconds, minutes from 60 s
constexpr uint8_t kShowFlags = 4;        // no text
constexpr uint8_t kShowListItem = 5;     // selects list item v
constexpr uint8_t kShowField = 6;        // no text (its dialog writes the field)
constexpr uint8_t kShowBandwidth = 7;    // torque bandwidth table, 11 = "Unlimited"
constexpr uint8_t kShowFilter = 8;       // (v * 100 - 100) / 30 "%"
constexpr uint8_t kShowFraction4096 = 9; // v / 4096, two decimals

constexpr uint8_t kNotABoardParameter = 255;
constexpr char kDegreeSign = static_cast<char>(0xB0);

// One board setting as the program mirrors it. Which controls show it is the
// pages' business (app/parameter_binding.h), not the protocol's.
struct WheelParameter {
  int32_t minimum = 0;
  int32_t maximum = 0;
  int32_t tickStep = 0;
  char unit = 0;
  int32_t value = 0;
  uint8_t number = 0;     // board parameter; 255 = not a board parameter
  uint8_t sizeIndex = 0;
  uint8_t kind = 0;
};

// The entries of the table, in the order of the board's parameter table.
enum WheelEntry : int {
  kEntryOffset,            // 4, steering offset ("Offset :" on the strip)
  kEntryMaxAngle,          // 8
  kEntryDebugLevel,        // 16
  kEntryMainGain,          // 17
  kEntryGameSpring,        // 18
  kEntryGameFriction,      // 19
  kEntryGameDamper,        // 20
  kEntryGameInertia,       // 21
  kEntryConstant,          // 22
  kEntrySine,              // 23
  kEntryForceTable,        // 24
  kEntryDesktopSpring,     // 26
  kEntryDesktopDamper,     // 27
  kEntryStopSpring,        // 28
  kEntryStopDamper,        // 29
  kEntryUserSpring,        // 30
  kEntryUserFriction,      // 31
  kEntryUserDamper,        // 32
  kEntryUserInertia,       // 33
  kEntryFlags,             // 34: the kWheelFlag bits below
  kEntryCommandMode,       // 35
  kEntryEncoder,           // 12
  kEntryPwmFrequency,      // 79
  kEntryFilter,            // 77
  kEntryExternalGain,      // 254, read only
  kEntryTorqueBandwidth,   // 255: the drive's, not the board's
  kEntryStatisticsWindow,  // 255: the current statistics, not the board's
  kWheelEntryCount
};

// Parameter 34, the wheel flags: "Invert", "Manual", and a bit the board
// watches to notice that "Invert" changed (flipped on every change of it).
constexpr int32_t kWheelFlagInvert = 0x1;
constexpr int32_t kWheelFlagManual = 0x2;
constexpr int32_t kWheelFlagInvertToggle = 0x4;

constexpr int kMappingByteCount = 36;  // parameters 36..71
constexpr int kAnalogCount = 4;        // settings 72..75, curves 80, 82, 84, 86

// The parameter table with its bulk settings; the constructor gives the fixed
// table contents and the defaults that hold until the first read.
struct WheelParameterTable {
  WheelParameter entries[kWheelEntryCount];
  WheelParameter analogCurves[kAnalogCount];
  int8_t mapping[kMappingByteCount];
  int8_t analogSettings[kAnalogCount];
  int8_t externalGainMarker = 0;  // parameter 25; -1 = no external gain to show

  WheelParameterTable();
  WheelParameter& operator[](WheelEntry e) { return entries[e]; }
  const WheelParameter& operator[](WheelEntry e) const { return entries[e]; }
  // The first entry with this board number (analog curves included); null when none.
  WheelParameter* Find(uint8_t number);
};

// Label text by display kind. False (and out untouched) for the kinds that
// have no text (4, 5, 6).
bool FormatParameterText(const WheelParameter& entry, char* out, size_t size);
