// What the pages do when the user acts: slider moves write the board
// parameter, commands go to the part of the program that carries them out.
#include <cstdint>

#include "app/app_tick.h"
#include "app/control_panel.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_utils.h"
#include "app/page_hooks.h"
#include "app/page_ids.h"
#include "app/pages.h"
#include "wheel/wheel_parameter.h"

namespace {

constexpr char kNoWheelMessage[] =
    "Could find the wheel device, please connect it and check firmware version";

constexpr int32_t kFlagInvert = 0x1;
constexpr int32_t kFlagManual = 0x2;
constexpr int32_t kFlagInvertToggle = 0x4;  // flipped on every change of "Invert"

void SetBit(int32_t* value, int32_t bit, bool on) {
  if (on) {
    *value |= bit;
  } else {
    *value &= ~bit;
  }
}

void ChooseWheelPort(ControlPanel& panel, DialogControls& page) {
  intptr_t port = 0;
  // Nothing selected, or data that is no port number: nothing to change.
  if (!SelectedItemData(page, IDC_WHEEL_PORT, &port) || port < 0 || port > 255) return;
  panel.ChooseWheelPort(static_cast<uint8_t>(port));
}

void ChooseDrivePort(ControlPanel& panel, DialogControls& page) {
  intptr_t port = 0;
  if (!SelectedItemData(page, IDC_SM_PORT, &port) || port < 0 || port > 255) return;
  if (port == panel.smPort) return;
  panel.smPort = static_cast<uint8_t>(port);
  ConnectDrive(panel);
}

void Invert(ControlPanel& panel, DialogControls& page) {
  WheelParameter& flags = panel.wheel[kEntryFlags];
  SetBit(&flags.value, kFlagInvert, page.IsChecked(IDC_INVERT));
  flags.value ^= kFlagInvertToggle;
  panel.WriteParameter(flags);
}

void Manual(ControlPanel& panel, DialogControls& page) {
  WheelParameter& flags = panel.wheel[kEntryFlags];
  SetBit(&flags.value, kFlagManual, page.IsChecked(IDC_MANUAL));
  panel.WriteParameter(flags);
}

void AdvancedSettings(ControlPanel& panel, DialogControls& page) {
  if (panel.linkState < ControlPanel::kWheelFound) {
    page.ShowMessage(kNoWheelMessage, kMessageInformation);
    return;
  }
  OpenAdvancedSettings(panel, page);
}

void RunCommand(ControlPanel& panel, DialogControls& page, int id) {
  switch (id) {
    case 1:  // OK (Enter)
    case 2:  // Cancel
      page.EndDialog(id);
      break;
    case IDC_WHEEL_PORT:
      ChooseWheelPort(panel, page);
      break;
    case IDC_GAMING_DEVICE:
      GamingDeviceChosen(panel, page);
      break;
    case IDC_SM_PORT:
      ChooseDrivePort(panel, page);
      break;
    case IDC_PROFILE_LIST:
      ProfileChosen(panel, page);
      break;
    case IDC_CENTER_WHEEL:
      panel.CentreWheel();
      break;
    case IDC_CHECK_NOW:
      CheckForUpdatesCommand(panel, page);
      break;
    case IDC_AUTO_UPDATE:
      SetFlagFromCheck(page, IDC_AUTO_UPDATE, &panel.flags, ControlPanel::kFlagAutoUpdate);
      break;
    case IDC_RESET_MAX:
      ResetMaxCurrentCommand(panel);
      break;
    case IDC_CALIBRATE:
      panel.StartCalibration();
      break;
    case IDC_RESET_BOARD:
      ResetBoardCommand(panel);
      break;
    case IDC_PROFILE_NEW:
      NewProfileCommand(panel, page);
      break;
    case IDC_PROFILE_REMOVE:
      RemoveProfileCommand(panel, page);
      break;
    case IDC_PROFILE_EDIT:
      EditProfileCommand(panel, page);
      break;
    case IDC_RESTART_DRIVE:
      RestartDriveCommand(panel);
      break;
    case IDC_CLEAR_FAULTS:
      ClearDriveFaultsCommand(panel);
      break;
    case IDC_INVERT:
      Invert(panel, page);
      break;
    case IDC_ADVANCED_SETTINGS:
      AdvancedSettings(panel, page);
      break;
    case IDC_MANUAL:
      Manual(panel, page);
      break;
    case IDC_DETECT_GAME:
      SetFlagFromCheck(page, IDC_DETECT_GAME, &panel.flags, ControlPanel::kFlagDetectGame);
      break;
    default:
      break;
  }
}

}  // namespace

WheelParameter* FindParameterBySlider(ControlPanel& panel, void* slider) {
  // Entries without a slider keep a null window; a scroll message without a
  // slider (a window scroll bar) must not match them.
  if (slider == nullptr) return nullptr;
  for (int i = 0; i < kWheelEntryCount; ++i) {
    if (i == kEntryFlags || i == kEntryDebugLevel) continue;
    if (panel.wheel.entries[i].slider == slider) return &panel.wheel.entries[i];
  }
  for (WheelParameter& curve : panel.wheel.analogCurves) {
    if (curve.slider == slider) return &curve;
  }
  return nullptr;
}

void SliderChanged(ControlPanel& panel, WheelParameter& entry) {
  panel.WaitNotBusy();
  const bool hold = panel.statusHold;
  panel.statusHold = true;
  if (entry.dialog != nullptr) entry.value = entry.dialog->GetSliderPos(entry.sliderId);
  FormatParameterLabel(entry);
  panel.WriteParameter(entry);
  panel.statusHold = hold;
}

void PageScroll(ControlPanel& panel, void* slider) {
  WheelParameter* entry = FindParameterBySlider(panel, slider);
  if (entry == nullptr) return;
  SliderChanged(panel, *entry);
  if (entry->sliderId == IDC_TORQUE_BW_SLIDER) SendTorqueBandwidthToDrive(panel, entry->value);
  StoreIntoSelectedProfile(panel);
}

void PageCommand(ControlPanel& panel, DialogControls& page, int id) {
  // Ticks keep coming while a command runs (its message boxes and dialogs pump
  // messages); the hold keeps the status poll out of the command's exchange.
  panel.statusHold = true;
  RunCommand(panel, page, id);
  panel.statusHold = false;
}

void InstallWheelTickDuties(TickHooks& hooks) {
  hooks.statusRefresh = [] { Panel().RefreshStatus(); };
  hooks.boardReport = [] { Panel().ReadBoardReport(); };
}
