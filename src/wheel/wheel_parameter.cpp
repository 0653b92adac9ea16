#include "wheel/wheel_parameter.h"

#include <cstdio>

namespace {

struct EntryDefinition {
  uint8_t number;
  uint8_t sizeIndex;
  int32_t minimum;
  int32_t maximum;
  int32_t tickStep;
  uint8_t kind;
  char unit;
};

// The fixed contents of the parameter table, in WheelEntry order.
const EntryDefinition kDefinitions[kWheelEntryCount] = {
    {4, kSizeIndex4, 0, 0, 0, kShowNumber, '%'},
    {8, kSizeIndex4, 180, 2160, 10, kShowValueUnit, kDegreeSign},
    {16, kSizeIndex1, 0, 3, 1, kShowListItem, '%'},
    {17, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {18, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {19, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {20, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {21, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {22, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {23, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {24, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {26, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {27, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {28, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {29, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {30, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {31, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {32, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {33, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {34, kSizeIndex1, 0, 1, 1, kShowFlags, '%'},
    {35, kSizeIndex1, 0, 1, 1, kShowListItem, '%'},
    {12, kSizeIndex4, 1, 2147483647, 1, kShowField, '%'},
    {79, kSizeIndex1, 0, 1, 1, kShowListItem, '%'},
    {77, kSizeIndex1, 1, 31, 1, kShowFilter, '%'},
    {254, kSizeIndex1, 0, 127, 10, kShowPercent127, '%'},
    {255, kSizeIndex1, 0, 11, 1, kShowBandwidth, '%'},
    {255, kSizeIndex4, 1, 3000, 10, kShowSeconds, 's'},
};

const int kBandwidthHz[11] = {100, 150, 220, 330, 470, 680, 1000, 1500, 2200, 3300, 4700};

}  // namespace

uint8_t WireSize(uint8_t sizeIndex) {
  static const uint8_t kBytes[4] = {4, 2, 1, 0};
  return sizeIndex < 4 ? kBytes[sizeIndex] : 0;
}

WheelParameterTable::WheelParameterTable() {
  for (int i = 0; i < kWheelEntryCount; ++i) {
    const EntryDefinition& d = kDefinitions[i];
    WheelParameter& e = entries[i];
    e.number = d.number;
    e.sizeIndex = d.sizeIndex;
    e.minimum = d.minimum;
    e.maximum = d.maximum;
    e.tickStep = d.tickStep;
    e.kind = d.kind;
    e.unit = d.unit;
  }
  entries[kEntryCommandMode].value = 1;
  entries[kEntryEncoder].value = 10000;
  entries[kEntryStatisticsWindow].value = 10;
  for (int j = 0; j < kAnalogCount; ++j) {
    WheelParameter& c = analogCurves[j];
    c.number = static_cast<uint8_t>(80 + 2 * j);
    c.sizeIndex = kSizeIndex2;
    c.kind = kShowNumber;
    c.unit = '%';
    c.value = 32;
    analogSettings[j] = -1;
  }
  for (int8_t& m : mapping) m = -1;
}

WheelParameter* WheelParameterTable::Find(uint8_t number) {
  for (WheelParameter& e : entries) {
    if (e.number == number) return &e;
  }
  for (WheelParameter& c : analogCurves) {
    if (c.number == number) return &c;
  }
  return nullptr;
}

bool FormatParameterText(const WheelParameter& e, char* out, size_t size) {
  const int64_t v = e.value;
  const int unit = static_cast<unsigned char>(e.unit);
  switch (e.kind) {
    case kShowNumber:
      std::snprintf(out, size, "%d", e.value);
      return true;
    case kShowPercent127:
      std::snprintf(out, size, "%d %c", static_cast<int>(v * 100 / 127), unit);
      return true;
    case kShowValueUnit:
      std::snprintf(out, size, "%d %c", e.value, unit);
      return true;
    case kShowSeconds: {
      float s = static_cast<float>(e.value) / 10.0f;
      if (s < 10.0f) {
        std::snprintf(out, size, "%1.1f %c", s, unit);
      } else if (s < 60.0f) {
        std::snprintf(out, size, "%2.0f %c", s, unit);
      } else {
        std::snprintf(out, size, "%1.1f mn", s / 60.0f);
      }
      return true;
    }
    case kShowBandwidth:
      if (e.value == 11) {
        std::snprintf(out, size, "Unlimited");
      } else if (e.value >= 0 && e.value < 11) {
        std::snprintf(out, size, "%d Hz", kBandwidthHz[e.value]);
      } else {
        // Not an index of the table (a bad setting): say so rather than read past it.
        std::snprintf(out, size, "---");
      }
      return true;
    case kShowFilter:
      std::snprintf(out, size, "%d %%", static_cast<int>((v * 100 - 100) / 30));
      return true;
    case kShowFraction4096:
      std::snprintf(out, size, "%1.2f", static_cast<double>(e.value) * 0.00024414062);
      return true;
    default:
      return false;
  }
}
