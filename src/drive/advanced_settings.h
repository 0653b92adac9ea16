#pragma once
// The "Advanced Settings" dialog (2123): the motor command mode, the PWM
// frequency, the encoder resolution and direction, the pin of each of the
// board's 32 buttons and 4 outputs, the analog inputs of four axes and of the
// external gain, and the linearity editor of each axis. Written against
// DialogControls so it runs in native tests; the Windows dialog procedure
// (advanced_settings_win32.cpp) only forwards to it.
//
// The dialog keeps no settings of its own: they live in the wheel link's
// parameter table and on the board. Pins, axes and the external gain reach
// the board as soon as they are chosen; the command mode, the PWM frequency,
// the encoder resolution and "Invert" on "Ok" (the encoder resolution goes to
// the servo drive as well, when its link is open). Cancel leaves the board as
// it is and the program's copy of what was not written as it was.
#include <cstdint>

#include "drive/advanced_settings_ids.h"
#include "drive/pin_map.h"

class DialogControls;
class DriveLink;
class GameControllerAxes;
class WheelLink;

// Bit 2 of the wheel flags (parameter 34) is the encoder's direction; the
// main page's "Invert" flips it along with the wheel's own direction bit.
constexpr int32_t kEncoderInvertFlag = 0x4;
// The encoder resolution is kept in counts, four per pulse, in a signed
// 32-bit parameter: this many pulses per revolution at most.
constexpr int32_t kMaxEncoderPpr = 0x7FFFFFFF / 4;
// What "Ok" says to an encoder text it cannot take.
extern const char kBadEncoderMessage[];
// What "Reset to default" asks before it wipes the board's settings.
extern const char kResetQuestion[];

// The pulses per revolution in an edit text: a whole decimal number from 1 to
// kMaxEncoderPpr, spaces around it allowed. False for anything else.
bool ParseEncoderPpr(const char* text, int32_t* ppr);

class AdvancedSettings {
 public:
  // The references must outlive the dialog.
  AdvancedSettings(WheelLink& link, DriveLink& drive, GameControllerAxes& controller);

  WheelLink& link;
  DriveLink& drive;
  GameControllerAxes& controller;
  // The modal dialog and the linearity editor on the platform's dialog
  // system; tests set their own.
  void (*runDialog)(AdvancedSettings& settings, DialogControls& owner) = nullptr;
  void (*runLinearityEditor)(AdvancedSettings& settings, DialogControls& owner, int axis) = nullptr;
  // The help lines of the dialog's controls (the program's), added at opening.
  void (*addTooltips)(DialogControls& dialog) = nullptr;

  // Opening: the fixed lists, the axes the game controller has, the values.
  void Init(DialogControls& dialog);
  // Every control from the settings as they stand.
  void Refresh(DialogControls& dialog);
  // The 36 mapping lists from the current pin occupation. Only lists whose
  // entries or selection change are touched.
  void RebuildMappingLists(DialogControls& dialog);
  // A control's notification (a list's selection changed, a button clicked).
  void Command(DialogControls& dialog, int id, int notification);
  // "Ok": false (with a message, nothing written, the dialog open) for an
  // encoder text it cannot take.
  bool Confirm(DialogControls& dialog);
  // Whether the dialog ended with "Ok" (the wheel flags may have changed).
  bool Confirmed() const { return confirmed_; }
  // The close box, Escape or "Cancel".
  void Cancel(DialogControls& dialog);
  // What Cancel takes back, without the dialog: the session ends while it
  // is open, and what was chosen but never confirmed must not be saved.
  void TakeBack();
  // "Reset to default": asked first; on Yes the board's defaults, read back
  // whole and shown (here and, through the link's view, on the pages).
  void ResetToDefault(DialogControls& dialog);
  // Whether the board was put back to its defaults while the dialog was open.
  bool BoardWasReset() const { return boardReset_; }

  // The pins as the dialog sees them now (the command mode as chosen).
  PinSettings CurrentPins() const;
  // The next rebuild fills every list from scratch (as at the opening).
  void ForgetShownLists();

 private:
  void MappingChosen(DialogControls& dialog, int list);
  void AxisChosen(DialogControls& dialog, int axis);
  void ExternalGainChosen(DialogControls& dialog);
  void RememberUnwritten();

  // What was chosen in the dialog but reaches the board only on "Ok", as it
  // was when the dialog opened (or the board was last read).
  bool confirmed_ = false;
  bool boardReset_ = false;
  int32_t commandModeAtOpen_ = 0;
  int32_t flagsAtOpen_ = 0;
  // The codes each mapping list shows and its selection, so a rebuild
  // touches only what changed; -1 count: not known.
  uint8_t shown_[kMappingListCount][kPinListLength];
  int shownCount_[kMappingListCount];
  int shownSelection_[kMappingListCount];
};

// The dialog over owner; the status refresh and the drive readout stay held
// while it is open.
void ShowAdvancedSettings(AdvancedSettings& settings, DialogControls& owner);
// The platform's modal dialog (the POSIX one opens nothing).
void RunAdvancedSettingsDialog(AdvancedSettings& settings, DialogControls& owner);
