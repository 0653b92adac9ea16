#pragma once
// The pins of the wheel controller board (an ATmega32u4) as the advanced
// settings see them: the one-byte pin codes the board stores for each input
// and output, their names, the physical pin behind each code, and which
// codes a mapping list may offer so that no physical pin serves two
// functions. No dialog here: the Advanced Settings dialog builds its lists
// from this.
#include <cstddef>
#include <cstdint>

// Pin codes.
constexpr uint8_t kPinNone = 0xFF;
constexpr uint8_t kPinD0 = 0;        // D0..D13 are 0..13
constexpr uint8_t kPinMiso = 14;
constexpr uint8_t kPinSck = 15;
constexpr uint8_t kPinMosi = 16;
constexpr uint8_t kPinSs = 17;
constexpr uint8_t kPinA0 = 18;       // A0..A11 are 18..29
constexpr uint8_t kPinA11 = 29;
constexpr int kAnalogPinCount = 12;
// Up to four buttons share one analog pin through a resistor ladder: button
// j (1..4) on analog pin Ak is kLadderBase + 4 k + (j - 1).
constexpr uint8_t kLadderBase = 0x80;
constexpr uint8_t kLadderLast = 0xAF;
constexpr int kLadderButtons = 4;
// The special analog functions, each on a fixed group of pins.
constexpr uint8_t kPinLc23 = 0xE0;   // "LC(2-3)"
constexpr uint8_t kPinLc412 = 0xE1;  // "LC(4-12)"
constexpr uint8_t kPinLc57 = 0xE2;   // "LC(5-7)"
constexpr uint8_t kPinLc89 = 0xE3;   // "LC(8-9)"
constexpr uint8_t kPinEnc01 = 0xF0;  // "Enc(0-1)"

// Physical pins are numbered like the plain codes: 0..17 the digital pins,
// 18..23 the analog-only pins A0..A5 (A6..A11 are digital pins 4, 6, 8, 9,
// 10 and 12). kNoPhysicalPin for a code that is no single pin.
constexpr uint8_t kNoPhysicalPin = 0xFF;
constexpr int kPhysicalPinCount = 24;

// Motor command modes (board parameter 35) and what each reserves.
enum CommandMode : int32_t {
  kCommandPwm = 0,
  kCommandPwmDir = 1,
  kCommandPwmPlusMinus = 2,
  kCommandVnh5019 = 3,
  kCommandModeCount = 4
};

// The mapping lists: buttons 1..32 (parameters 36..67), then the outputs
// "Status LED", "LC Sync", "Ctrl Sync", "Send Sync" (68..71).
constexpr int kMappingListCount = 36;
constexpr int kAxisSettingCount = 4;  // X, Y, Z, X rotation (parameters 72..75)

// Everything that decides which pins are taken: the board's stored codes and
// the command mode chosen in the dialog (which may not be written yet).
struct PinSettings {
  uint8_t mapping[kMappingListCount];
  uint8_t axes[kAxisSettingCount];
  uint8_t externalGain = kPinNone;
  int32_t commandMode = kCommandPwm;
};

bool IsLadderCode(uint8_t code);
// The analog pin code (A0..A11) of a ladder code, and its button number 1..4.
uint8_t LadderAnalogPin(uint8_t code);
int LadderButton(uint8_t code);
uint8_t LadderCode(uint8_t analogPin, int button);

// The physical pin of a plain pin code or a ladder code; kNoPhysicalPin for
// "None", the special functions and codes that name no pin.
uint8_t PhysicalPin(uint8_t code);
// The physical pins a special analog function takes; 0 for any other code.
// out holds at least 3.
int SpecialFunctionPins(uint8_t code, uint8_t* out);
// The physical pins a command mode reserves; 0 for an unknown mode. out holds
// at least 10.
int CommandModePins(int32_t mode, uint8_t* out);

// What a list shows for a code: "None", "D0", "MISO", "A6", "LC(2-3)",
// "Enc(0-1)", "A2 (3)", ... False (and "?" in out) for a code without a name.
bool PinText(uint8_t code, char* out, size_t size);

// The pin list of the mapping lists, in the order they show it: "None",
// D0..D13, A0..A5, then the four ladder entries of A0..A6, A8..A11.
constexpr int kPinListLength = 1 + 14 + 6 + 11 * kLadderButtons;
extern const uint8_t kPinList[kPinListLength];

// Which pins the settings occupy, built once per rebuild of the lists: a
// plain pin, a special function or a command mode takes a physical pin whole;
// a ladder entry takes one of the four ladder places of its pin, which the
// other three places may still share. A physical pin never serves two
// functions: it is either taken whole by one setting or shared by ladder
// entries with different button numbers.
class PinOccupation {
 public:
  explicit PinOccupation(const PinSettings& settings);

  // Whether mapping list `list` (0..35) may offer code: the list's own
  // stored code does not count against it. "None" is always available.
  bool Available(uint8_t code, int list) const;

 private:
  // One bit per setting: the 36 mapping lists, the 4 axes, the external
  // gain and the command mode.
  using Owners = uint64_t;
  void Take(uint8_t code, Owners owner);
  void TakeWhole(uint8_t pin, Owners owner);

  Owners whole_[kPhysicalPinCount] = {};
  Owners ladder_[kPhysicalPinCount][kLadderButtons] = {};
};

// The codes mapping list `list` offers, in list order: the available entries
// of kPinList, and the list's own stored code wherever it stands in the pin
// list even when another setting has taken that pin since (the list shows
// what the board has). Returns the count; out holds kPinListLength.
int OfferedCodes(const PinOccupation& occupation, const PinSettings& settings, int list, uint8_t* out);
