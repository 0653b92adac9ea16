#include "wheel/wheel_parameter.h"

#include <cstdio>

#include "ui/dialog_controls.h"

namespace {

struct EntryDefinition {
  uint8_t number;
  uint8_t sizeIndex;
  int32_t minimum;
  int32_t maximum;
  int32_t tickStep;
  uint8_t kind;
  char unit;
  int32_t sliderId;
  int32_t labelId;
};

// The fixed contents of the parameter table, in WheelEntry order. Ids of the
// Advanced Settings lists are given by that dialog when it binds them.
const EntryDefinition kDefinitions[kWheelEntryCount] = {
    {4, kSizeIndex4, 0, 0, 0, kShowNumber, '%', 0, 2120},
    {8, kSizeIndex4, 180, 2160, 10, kShowValueUnit, kDegreeSign, 2037, 2023},
    {16, kSizeIndex1, 0, 3, 1, kShowListItem, '%', 0, 1044},
    {17, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2021, 2029},
    {18, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2031, 2035},
    {19, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2046, 2048},
    {20, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2049, 2053},
    {21, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2063, 2124},
    {22, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2055, 2057},
    {23, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2059, 2067},
    {24, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2069, 2074},
    {26, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2032, 2036},
    {27, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2058, 2061},
    {28, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2044, 2070},
    {29, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2072, 2075},
    {30, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2038, 2042},
    {31, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2050, 2054},
    {32, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2062, 2065},
    {33, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 2066, 2125},
    {34, kSizeIndex1, 0, 1, 1, kShowFlags, '%', 0, 0},
    {35, kSizeIndex1, 0, 1, 1, kShowListItem, '%', 0, 0},
    {12, kSizeIndex4, 1, 2147483647, 1, kShowField, '%', 0, 2062},
    {79, kSizeIndex1, 0, 1, 1, kShowListItem, '%', 0, 0},
    {77, kSizeIndex1, 1, 31, 1, kShowFilter, '%', 1077, 1078},
    {254, kSizeIndex1, 0, 127, 10, kShowPercent127, '%', 0, 2043},
    {255, kSizeIndex1, 0, 11, 1, kShowBandwidth, '%', 1079, 1080},
    {255, kSizeIndex4, 1, 3000, 10, kShowSeconds, 's', 2110, 2114},
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
    e.sliderId = d.sliderId;
    e.labelId = d.labelId;
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

void FormatParameterLabel(const WheelParameter& entry) {
  if (entry.dialog == nullptr || entry.labelId == 0) return;
  char text[64];
  if (FormatParameterText(entry, text, sizeof text)) entry.dialog->SetItemText(entry.labelId, text);
}

void ShowParameter(const WheelParameter& entry) {
  if (entry.dialog == nullptr) return;
  if (entry.labelId != 0 && entry.kind == kShowListItem) {
    entry.dialog->SelectComboItem(entry.labelId, entry.value);
    return;
  }
  if (entry.sliderId != 0) entry.dialog->SetSliderPos(entry.sliderId, entry.value);
  if (entry.labelId != 0) FormatParameterLabel(entry);
}
