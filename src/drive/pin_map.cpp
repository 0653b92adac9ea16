#include "drive/pin_map.h"

#include <cstdio>

namespace {

// A6..A11 share the digital pins 4, 6, 8, 9, 10 and 12.
const uint8_t kAnalogPhysical[kAnalogPinCount] = {18, 19, 20, 21, 22, 23, 4, 6, 8, 9, 10, 12};

const char* const kSpiNames[4] = {"MISO", "SCK", "MOSI", "SS"};

struct SpecialFunction {
  uint8_t code;
  const char* name;
  uint8_t pins[3];
  int count;
};

const SpecialFunction kSpecialFunctions[] = {
    {kPinLc23, "LC(2-3)", {2, 3, 0}, 2},
    {kPinLc412, "LC(4-12)", {4, 12, 0}, 2},
    {kPinLc57, "LC(5-7)", {5, 7, 0}, 2},
    {kPinLc89, "LC(8-9)", {8, 9, 0}, 2},
    {kPinEnc01, "Enc(0-1)", {0, 1, 6}, 3},
};

const SpecialFunction* FindSpecial(uint8_t code) {
  for (const SpecialFunction& f : kSpecialFunctions) {
    if (f.code == code) return &f;
  }
  return nullptr;
}

// Bit of each setting in PinOccupation's owner masks.
constexpr int kAxisOwnerBit = kMappingListCount;
constexpr int kExternalGainOwnerBit = kAxisOwnerBit + kAxisSettingCount;
constexpr int kCommandModeOwnerBit = kExternalGainOwnerBit + 1;
static_assert(kCommandModeOwnerBit < 64, "one bit per setting");

}  // namespace

// "None", D0..D13, A0..A5, then the ladder entries of every analog pin but A7.
const uint8_t kPinList[kPinListLength] = {
    kPinNone,
    0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13,
    18, 19, 20, 21, 22, 23,
    0x80, 0x81, 0x82, 0x83,  // A0
    0x84, 0x85, 0x86, 0x87,  // A1
    0x88, 0x89, 0x8A, 0x8B,  // A2
    0x8C, 0x8D, 0x8E, 0x8F,  // A3
    0x90, 0x91, 0x92, 0x93,  // A4
    0x94, 0x95, 0x96, 0x97,  // A5
    0x98, 0x99, 0x9A, 0x9B,  // A6
    0xA0, 0xA1, 0xA2, 0xA3,  // A8
    0xA4, 0xA5, 0xA6, 0xA7,  // A9
    0xA8, 0xA9, 0xAA, 0xAB,  // A10
    0xAC, 0xAD, 0xAE, 0xAF,  // A11
};

bool IsLadderCode(uint8_t code) { return code >= kLadderBase && code <= kLadderLast; }

uint8_t LadderAnalogPin(uint8_t code) { return static_cast<uint8_t>(kPinA0 + (code - kLadderBase) / 4); }

int LadderButton(uint8_t code) { return (code - kLadderBase) % 4 + 1; }

uint8_t LadderCode(uint8_t analogPin, int button) {
  return static_cast<uint8_t>(kLadderBase + 4 * (analogPin - kPinA0) + (button - 1));
}

uint8_t PhysicalPin(uint8_t code) {
  if (code < kPinA0) return code;
  if (code <= kPinA11) return kAnalogPhysical[code - kPinA0];
  if (IsLadderCode(code)) return PhysicalPin(LadderAnalogPin(code));
  return kNoPhysicalPin;
}

int SpecialFunctionPins(uint8_t code, uint8_t* out) {
  const SpecialFunction* f = FindSpecial(code);
  if (f == nullptr) return 0;
  for (int i = 0; i < f->count; ++i) out[i] = f->pins[i];
  return f->count;
}

int CommandModePins(int32_t mode, uint8_t* out) {
  static const uint8_t kPwm[] = {11};
  static const uint8_t kPwmDir[] = {10, 11};
  static const uint8_t kVnh[] = {2, 4, 6, 7, 8, 9, 10, 12, 18, 19};
  const uint8_t* pins = nullptr;
  int count = 0;
  switch (mode) {
    case kCommandPwm:
      pins = kPwm;
      count = 1;
      break;
    case kCommandPwmDir:
    case kCommandPwmPlusMinus:
      pins = kPwmDir;
      count = 2;
      break;
    case kCommandVnh5019:
      pins = kVnh;
      count = 10;
      break;
    default:
      return 0;
  }
  for (int i = 0; i < count; ++i) out[i] = pins[i];
  return count;
}

bool PinText(uint8_t code, char* out, size_t size) {
  if (size == 0) return false;
  if (code == kPinNone) {
    std::snprintf(out, size, "None");
  } else if (code <= 13) {
    std::snprintf(out, size, "D%d", code);
  } else if (code < kPinA0) {
    std::snprintf(out, size, "%s", kSpiNames[code - kPinMiso]);
  } else if (code <= kPinA11) {
    std::snprintf(out, size, "A%d", code - kPinA0);
  } else if (IsLadderCode(code)) {
    std::snprintf(out, size, "A%d (%d)", LadderAnalogPin(code) - kPinA0, LadderButton(code));
  } else if (const SpecialFunction* f = FindSpecial(code)) {
    std::snprintf(out, size, "%s", f->name);
  } else {
    std::snprintf(out, size, "?");
    return false;
  }
  return true;
}

PinOccupation::PinOccupation(const PinSettings& settings) {
  for (int i = 0; i < kMappingListCount; ++i) Take(settings.mapping[i], Owners{1} << i);
  for (int a = 0; a < kAxisSettingCount; ++a) Take(settings.axes[a], Owners{1} << (kAxisOwnerBit + a));
  Take(settings.externalGain, Owners{1} << kExternalGainOwnerBit);
  uint8_t pins[10];
  const int count = CommandModePins(settings.commandMode, pins);
  for (int i = 0; i < count; ++i) TakeWhole(pins[i], Owners{1} << kCommandModeOwnerBit);
}

void PinOccupation::TakeWhole(uint8_t pin, Owners owner) {
  if (pin < kPhysicalPinCount) whole_[pin] |= owner;
}

// Every setting is read the same way, whichever list holds it: the board may
// report any byte, and a code means the same pins wherever it stands.
void PinOccupation::Take(uint8_t code, Owners owner) {
  if (IsLadderCode(code)) {
    const uint8_t pin = PhysicalPin(code);
    ladder_[pin][LadderButton(code) - 1] |= owner;
    return;
  }
  const uint8_t pin = PhysicalPin(code);
  if (pin != kNoPhysicalPin) {
    TakeWhole(pin, owner);
    return;
  }
  uint8_t pins[3];
  const int count = SpecialFunctionPins(code, pins);
  for (int i = 0; i < count; ++i) TakeWhole(pins[i], owner);
}

bool PinOccupation::Available(uint8_t code, int list) const {
  if (code == kPinNone) return true;
  const Owners others = ~(Owners{1} << list);
  if (IsLadderCode(code)) {
    // A ladder place is free while nobody holds the pin whole and no other
    // list holds the same place.
    const uint8_t pin = PhysicalPin(code);
    return ((whole_[pin] | ladder_[pin][LadderButton(code) - 1]) & others) == 0;
  }
  const uint8_t pin = PhysicalPin(code);
  if (pin != kNoPhysicalPin) {
    // A plain pin is free while nobody holds it whole or any of its ladder places.
    Owners taken = whole_[pin];
    for (int j = 0; j < kLadderButtons; ++j) taken |= ladder_[pin][j];
    return (taken & others) == 0;
  }
  // A special function in a mapping list: every one of its pins must be free.
  uint8_t pins[3];
  const int count = SpecialFunctionPins(code, pins);
  if (count == 0) return false;  // a code that names no pin is never offered
  for (int i = 0; i < count; ++i) {
    if (!Available(pins[i], list)) return false;
  }
  return true;
}

int OfferedCodes(const PinOccupation& occupation, const PinSettings& settings, int list, uint8_t* out) {
  const uint8_t own = settings.mapping[list];
  int count = 0;
  for (uint8_t code : kPinList) {
    if (code == own || occupation.Available(code, list)) out[count++] = code;
  }
  return count;
}
