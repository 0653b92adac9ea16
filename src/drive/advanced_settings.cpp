// The "Advanced Settings" dialog's logic.
#include "drive/advanced_settings.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "drive/drive_link.h"
#include "drive/game_controller.h"
#include "drive/linearity_editor.h"
#include "ui/dialog_controls.h"
#include "wheel/wheel_link.h"

const char kBadEncoderMessage[] = "Encoder PPR must be a whole number from 1 to 536870911";
const char kResetQuestion[] = "Reset every setting of the wheel to its default?";

namespace {

constexpr int kEncoderTextChars = 64;  // what is read of the field; far more than a valid number needs

struct Choice {
  const char* text;
  int32_t value;
};

const Choice kCommandModes[] = {
    {"PWM", kCommandPwm}, {"PWM+Dir", kCommandPwmDir}, {"PWM +/-", kCommandPwmPlusMinus}, {"VNH5019", kCommandVnh5019}};
const Choice kPwmFrequencies[] = {{"4 KHz", 0}, {"8 KHz", 1}, {"20 KHz", 2}};

// The analog pins an axis or the external gain may use: A0..A6, A8..A11.
const uint8_t kAnalogInputs[] = {18, 19, 20, 21, 22, 23, 24, 26, 27, 28, 29};

// Position of each code in kPinList (-1: not in it), so list diffs can walk
// two lists in the same order.
struct PinListOrder {
  int8_t at[256];
  PinListOrder() {
    std::memset(at, -1, sizeof at);
    for (int i = 0; i < kPinListLength; ++i) at[kPinList[i]] = static_cast<int8_t>(i);
  }
};
const PinListOrder kOrder;

int MappingId(int list) { return IDC_MAPPING_FIRST + list; }

void FillChoices(DialogControls& dialog, int id, const Choice* choices, int count) {
  dialog.ResetCombo(id);
  for (int i = 0; i < count; ++i) dialog.AddComboItem(id, choices[i].text, choices[i].value);
}

// "None", then the special function (when given), then the analog inputs.
void FillAnalogList(DialogControls& dialog, int id, uint8_t special) {
  char text[16];
  dialog.ResetCombo(id);
  dialog.AddComboItem(id, "None", kPinNone);
  if (special != kPinNone) {
    PinText(special, text, sizeof text);
    dialog.AddComboItem(id, text, special);
  }
  for (uint8_t code : kAnalogInputs) {
    PinText(code, text, sizeof text);
    dialog.AddComboItem(id, text, code);
  }
}

// The item whose data is code, else the first (-1 in an empty list).
int IndexOfData(DialogControls& dialog, int id, intptr_t code) {
  const int count = dialog.ComboCount(id);
  for (int i = 0; i < count; ++i) {
    if (dialog.ComboItemData(id, i) == code) return i;
  }
  return count > 0 ? 0 : -1;
}

// A list item's data as a pin code; false for a selection that carries none.
bool SelectedCode(DialogControls& dialog, int id, uint8_t* code) {
  const int index = dialog.ComboSelection(id);
  if (index < 0) return false;
  const intptr_t data = dialog.ComboItemData(id, index);
  if (data < 0 || data > 255) return false;
  *code = static_cast<uint8_t>(data);
  return true;
}

void SetBit(int32_t* value, int32_t bit, bool on) {
  if (on) {
    *value |= bit;
  } else {
    *value &= ~bit;
  }
}

// The one-byte settings go to the board as soon as they are chosen.
void WriteByteSetting(WheelLink& link, int number, uint8_t code) {
  link.WaitNotBusy();
  link.WriteParameterRaw(static_cast<uint8_t>(number), 1, static_cast<int8_t>(code));
}

void RunLinearityEditorFor(AdvancedSettings& settings, DialogControls& owner, int axis) {
  ShowLinearityEditor(settings.link, settings.controller, owner, axis);
}

}  // namespace

bool ParseEncoderPpr(const char* text, int32_t* ppr) {
  const char* p = text;
  while (*p == ' ' || *p == '\t') ++p;
  if (!std::isdigit(static_cast<unsigned char>(*p))) return false;
  int64_t value = 0;
  while (std::isdigit(static_cast<unsigned char>(*p))) {
    value = value * 10 + (*p - '0');
    if (value > kMaxEncoderPpr) return false;
    ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  if (*p != '\0' || value < 1) return false;
  *ppr = static_cast<int32_t>(value);
  return true;
}

AdvancedSettings::AdvancedSettings(WheelLink& link, DriveLink& drive, GameControllerAxes& controller)
    : link(link), drive(drive), controller(controller) {
  ForgetShownLists();
}

void AdvancedSettings::ForgetShownLists() {
  for (int i = 0; i < kMappingListCount; ++i) {
    shownCount_[i] = -1;
    shownSelection_[i] = -1;
  }
}

void AdvancedSettings::RememberUnwritten() {
  commandModeAtOpen_ = link[kEntryCommandMode].value;
  flagsAtOpen_ = link[kEntryFlags].value;
}

PinSettings AdvancedSettings::CurrentPins() const {
  const WheelParameterTable& table = link.parameters;
  PinSettings pins;
  for (int i = 0; i < kMappingListCount; ++i) pins.mapping[i] = static_cast<uint8_t>(table.mapping[i]);
  for (int a = 0; a < kAxisSettingCount; ++a) pins.axes[a] = static_cast<uint8_t>(table.analogSettings[a]);
  pins.externalGain = static_cast<uint8_t>(table.externalGainMarker);
  pins.commandMode = table[kEntryCommandMode].value;
  return pins;
}

void AdvancedSettings::Init(DialogControls& dialog) {
  RememberUnwritten();
  ForgetShownLists();
  FillChoices(dialog, IDC_COMMAND_MODE, kCommandModes, 4);
  FillChoices(dialog, IDC_PWM_FREQUENCY, kPwmFrequencies, 3);
  FillAnalogList(dialog, IDC_AXIS_X, kPinEnc01);
  for (int a = kAxisY; a <= kAxisRx; ++a) FillAnalogList(dialog, IDC_AXIS_X + a, kPinLc57);
  FillAnalogList(dialog, IDC_EXTERNAL_GAIN_INPUT, kPinNone);

  // Only the axes the game controller has can be set up. The board has no
  // input setting for Ry and Rz (their lists stay empty) and no linearity
  // either, so those controls stay off.
  const uint32_t mask = controller.ObjectMask();
  for (int a = 0; a < kGameAxisCount; ++a) {
    const bool present = (mask >> a) & 1u;
    dialog.EnableItem(IDC_AXIS_X + a, present && a < kAxisSettingCount);
    dialog.EnableItem(IDC_AXIS_X_LABEL + a, present && a < kAxisSettingCount);
    dialog.EnableItem(IDC_LINEARITY_X + a, present && a < kLinearityAxisCount);
  }
  if (addTooltips) addTooltips(dialog);
  Refresh(dialog);
}

void AdvancedSettings::Refresh(DialogControls& dialog) {
  const WheelParameterTable& table = link.parameters;
  const int32_t mode = table[kEntryCommandMode].value;
  dialog.SelectComboItem(IDC_COMMAND_MODE, mode >= 0 && mode < 4 ? mode : -1);
  const int32_t pwm = table[kEntryPwmFrequency].value;
  dialog.SelectComboItem(IDC_PWM_FREQUENCY, pwm >= 0 && pwm < 3 ? pwm : -1);
  char text[16];
  std::snprintf(text, sizeof text, "%d", table[kEntryEncoder].value / 4);
  dialog.SetItemText(IDC_ENCODER_PPR, text);
  RebuildMappingLists(dialog);
  for (int a = 0; a < kAxisSettingCount; ++a) {
    const int id = IDC_AXIS_X + a;
    dialog.SelectComboItem(id, IndexOfData(dialog, id, static_cast<uint8_t>(table.analogSettings[a])));
  }
  dialog.SelectComboItem(IDC_EXTERNAL_GAIN_INPUT,
                         IndexOfData(dialog, IDC_EXTERNAL_GAIN_INPUT, static_cast<uint8_t>(table.externalGainMarker)));
  dialog.SetCheck(IDC_ENCODER_INVERT, (table[kEntryFlags].value & kEncoderInvertFlag) != 0);
}

void AdvancedSettings::RebuildMappingLists(DialogControls& dialog) {
  const PinSettings pins = CurrentPins();
  const PinOccupation occupation(pins);
  char text[16];
  for (int list = 0; list < kMappingListCount; ++list) {
    const int id = MappingId(list);
    uint8_t offered[kPinListLength];
    const int count = OfferedCodes(occupation, pins, list, offered);
    uint8_t* shown = shown_[list];
    int selection = 0;
    for (int i = 0; i < count; ++i) {
      if (offered[i] == pins.mapping[list]) selection = i;
    }

    if (shownCount_[list] < 0) {
      // Not known what the list holds: fill it from scratch.
      dialog.ResetCombo(id);
      for (int i = 0; i < count; ++i) {
        PinText(offered[i], text, sizeof text);
        dialog.AddComboItem(id, text, offered[i]);
      }
    } else {
      // Both are in pin-list order: walk them together, deleting what went
      // and inserting what came, so unchanged lists are not touched at all.
      int at = 0, i = 0, j = 0;
      const int old = shownCount_[list];
      while (i < old || j < count) {
        if (i < old && j < count && shown[i] == offered[j]) {
          ++i, ++j, ++at;
        } else if (i < old && (j >= count || kOrder.at[shown[i]] < kOrder.at[offered[j]])) {
          dialog.DeleteComboItem(id, at);
          ++i;
        } else {
          PinText(offered[j], text, sizeof text);
          dialog.InsertComboItem(id, at, text, offered[j]);
          ++j, ++at;
        }
      }
      bool same = old == count;
      for (int i = 0; same && i < count; ++i) same = shown[i] == offered[i];
      if (same && shownSelection_[list] == selection) continue;
    }
    for (int i = 0; i < count; ++i) shown[i] = offered[i];
    shownCount_[list] = count;
    dialog.SelectComboItem(id, count > 0 ? selection : -1);
    shownSelection_[list] = selection;
  }
}

void AdvancedSettings::MappingChosen(DialogControls& dialog, int list) {
  uint8_t code;
  if (!SelectedCode(dialog, MappingId(list), &code)) return;
  // The list shows the pick already.
  shownSelection_[list] = dialog.ComboSelection(MappingId(list));
  link.parameters.mapping[list] = static_cast<int8_t>(code);
  WriteByteSetting(link, 36 + list, code);
  RebuildMappingLists(dialog);
}

void AdvancedSettings::AxisChosen(DialogControls& dialog, int axis) {
  uint8_t code;
  if (!SelectedCode(dialog, IDC_AXIS_X + axis, &code)) return;
  link.parameters.analogSettings[axis] = static_cast<int8_t>(code);
  WriteByteSetting(link, 72 + axis, code);
  RebuildMappingLists(dialog);
}

void AdvancedSettings::ExternalGainChosen(DialogControls& dialog) {
  uint8_t code;
  if (!SelectedCode(dialog, IDC_EXTERNAL_GAIN_INPUT, &code)) return;
  link.parameters.externalGainMarker = static_cast<int8_t>(code);
  WriteByteSetting(link, 25, code);
  // Its pin is as taken as any other: the lists must stop offering it now.
  RebuildMappingLists(dialog);
}

void AdvancedSettings::Command(DialogControls& dialog, int id, int notification) {
  if (id >= IDC_MAPPING_FIRST && id <= IDC_MAPPING_LAST) {
    if (notification == kListSelectionChanged) MappingChosen(dialog, id - IDC_MAPPING_FIRST);
    return;
  }
  if (id >= IDC_AXIS_X && id <= IDC_AXIS_RX) {
    if (notification == kListSelectionChanged) AxisChosen(dialog, id - IDC_AXIS_X);
    return;
  }
  switch (id) {
    case IDC_EXTERNAL_GAIN_INPUT:
      if (notification == kListSelectionChanged) ExternalGainChosen(dialog);
      return;
    case IDC_COMMAND_MODE: {
      if (notification != kListSelectionChanged) return;
      const int index = dialog.ComboSelection(IDC_COMMAND_MODE);
      if (index < 0) return;
      // Not written before "Ok", but the lists follow the choice at once.
      link[kEntryCommandMode].value = static_cast<int32_t>(dialog.ComboItemData(IDC_COMMAND_MODE, index));
      RebuildMappingLists(dialog);
      return;
    }
    case IDC_ENCODER_INVERT:
      SetBit(&link[kEntryFlags].value, kEncoderInvertFlag, dialog.IsChecked(IDC_ENCODER_INVERT));
      return;
    case IDC_RESET_TO_DEFAULT:
      ResetToDefault(dialog);
      return;
    case 1:  // "Ok" or Enter
      Confirm(dialog);
      return;
    case 2:  // "Cancel", Escape or the close box
      Cancel(dialog);
      return;
    default:
      break;
  }
  if (id >= IDC_LINEARITY_X && id < IDC_LINEARITY_X + kLinearityAxisCount) {
    const int axis = id - IDC_LINEARITY_X;
    (runLinearityEditor ? runLinearityEditor : RunLinearityEditorFor)(*this, dialog, axis);
  }
}

bool AdvancedSettings::Confirm(DialogControls& dialog) {
  char text[kEncoderTextChars];
  dialog.GetItemText(IDC_ENCODER_PPR, text, sizeof text);
  int32_t ppr = 0;
  // A resolution of 0 (or one that overflowed) would tell the board and the
  // drive that the encoder has no counts.
  if (std::strlen(text) >= sizeof text - 1 || !ParseEncoderPpr(text, &ppr)) {
    dialog.ShowMessage(kBadEncoderMessage, kMessageWarning | kMessageOk);
    return false;
  }
  uint8_t code;
  if (SelectedCode(dialog, IDC_COMMAND_MODE, &code)) link[kEntryCommandMode].value = code;
  if (SelectedCode(dialog, IDC_PWM_FREQUENCY, &code)) link[kEntryPwmFrequency].value = code;
  link[kEntryEncoder].value = ppr * 4;
  // As the box shows it, whatever was taken back meanwhile.
  SetBit(&link[kEntryFlags].value, kEncoderInvertFlag, dialog.IsChecked(IDC_ENCODER_INVERT));

  link.WriteParameter(link[kEntryCommandMode]);
  link.WriteParameter(link[kEntryPwmFrequency]);
  link.WriteParameter(link[kEntryEncoder]);
  link.WriteParameter(link[kEntryFlags]);
  drive.WriteDriveParameter(kDriveEncoderPulses, ppr);
  drive.WriteDriveParameter(kDriveControl, 1);
  RememberUnwritten();
  confirmed_ = true;
  dialog.EndDialog(1);
  return true;
}

void AdvancedSettings::Cancel(DialogControls& dialog) {
  TakeBack();
  dialog.EndDialog(0);
}

void AdvancedSettings::TakeBack() {
  // The command mode and "Invert" were only chosen, never sent: the program's
  // copy goes back to what the board has, or a later profile write or a
  // reopened dialog would act on a choice the user took back.
  link[kEntryCommandMode].value = commandModeAtOpen_;
  SetBit(&link[kEntryFlags].value, kEncoderInvertFlag, (flagsAtOpen_ & kEncoderInvertFlag) != 0);
}

void AdvancedSettings::ResetToDefault(DialogControls& dialog) {
  // Every setting of the board goes, the pages' ones too: one click must not
  // be enough.
  if (dialog.ShowMessage(kResetQuestion, kMessageQuestion | kMessageYesNo) != kAnswerYes) return;
  link.RestoreBoardDefault();
  boardReset_ = true;
  // The board's values are what the dialog now started from (Cancel keeps
  // them, "Invert" included).
  RememberUnwritten();
  Refresh(dialog);
}

void ShowAdvancedSettings(AdvancedSettings& settings, DialogControls& owner) {
  StatusHold hold(settings.link);
  (settings.runDialog ? settings.runDialog : RunAdvancedSettingsDialog)(settings, owner);
}
