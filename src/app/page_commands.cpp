// What the pages do when the user acts: slider moves write the board
// parameter, commands go to the part of the program that carries them out.
#include <cstdint>

#include "app/advanced_page.h"
#include "app/control_panel.h"
#include "app/live_forces.h"
#include "app/live_forces_ids.h"
#include "app/file_commands.h"
#include "app/main_page_ids.h"
#include "app/pages.h"
#include "app/strip_ids.h"
#include "profiles/profile_dialog.h"
#include "ui/dialog_controls.h"
#include "ui/dialog_utils.h"
#include "wheel/com_ports.h"

namespace {

constexpr char kNoWheelMessage[] =
    "Could not find the wheel device, please connect it and check firmware version";

using Command = void (*)(ControlPanel& panel, DialogControls& page);

void SetBit(int32_t* value, int32_t bit, bool on) {
  if (on) {
    *value |= bit;
  } else {
    *value &= ~bit;
  }
}

void EndPage(ControlPanel&, DialogControls& page, int id) { page.EndDialog(id); }

void ChooseWheelPort(ControlPanel& panel, DialogControls& page) {
  intptr_t port = 0;
  // Nothing selected, or data that is no port number: nothing to change.
  if (!SelectedItemData(page, IDC_WHEEL_PORT, &port) || port < 0 || port > 255) return;
  panel.link.ChooseWheelPort(static_cast<uint8_t>(port));
}

void ChooseDrivePort(ControlPanel& panel, DialogControls& page) {
  intptr_t port = 0;
  if (!SelectedItemData(page, IDC_SM_PORT, &port) || port < 0 || port > 255) return;
  if (port == panel.settings.smPort) return;
  panel.settings.smPort = static_cast<uint8_t>(port);
  panel.drive.ConfigureDrive(panel.settings.smPort);
}

// A port list that opens learns of ports that appeared (a board plugged in
// after start); the ports this program holds itself stay in it.
void RefreshPortList(ControlPanel& panel, DialogControls& page, int id) {
  if (id == IDC_WHEEL_PORT) {
    WheelLink& link = panel.link;
    FillComPortList(page, id, link.wheelPort, link.channel->IsOpen() ? link.wheelPort : 0);
  } else if (id == IDC_SM_PORT) {
    FillComPortList(page, id, panel.settings.smPort, panel.drive.IsOpen() ? panel.drive.Port() : 0);
  }
}

// The list notifies focus, opening and closing as well: only a pick of
// another controller activates (each activation enumerates its objects).
void GamingDeviceChosen(ControlPanel& panel, DialogControls& page) {
  intptr_t data = 0;
  if (!SelectedItemData(page, IDC_GAMING_DEVICE, &data)) return;
  const uint32_t index = static_cast<uint32_t>(data) & 0xFFu;
  if (static_cast<int>(index) != panel.input.ActiveIndex()) panel.input.ActivateGamingDevice(index);
}

void ProfileChosen(ControlPanel& panel, DialogControls& page) {
  // The list notifies focus, opening and closing as well: only a selection
  // that really changed applies a profile (14 board writes each time).
  const int index = page.ComboSelection(IDC_PROFILE_LIST);
  if (index >= 0 && index != panel.profiles.item) panel.profiles.SelectProfile(index);
}

// Stores the current values into the selected profile, when one is selected.
void StoreIntoSelectedProfile(ControlPanel& panel) {
  if (GameProfile* profile = panel.profiles.CurrentProfile()) panel.profiles.StoreIntoProfile(profile);
}

void Invert(ControlPanel& panel, DialogControls& page) {
  WheelParameter& flags = panel.link[kEntryFlags];
  SetBit(&flags.value, kWheelFlagInvert, page.IsChecked(IDC_INVERT));
  flags.value ^= kWheelFlagInvertToggle;
  panel.link.WriteParameter(flags);
  StoreIntoSelectedProfile(panel);
}

void Manual(ControlPanel& panel, DialogControls& page) {
  WheelParameter& flags = panel.link[kEntryFlags];
  SetBit(&flags.value, kWheelFlagManual, page.IsChecked(IDC_MANUAL));
  panel.link.WriteParameter(flags);
  StoreIntoSelectedProfile(panel);
}

void AdvancedSettings(ControlPanel& panel, DialogControls& page) {
  if (panel.link.linkState < kWheelFound) {
    page.ShowMessage(kNoWheelMessage, kMessageInformation);
    return;
  }
  OpenAdvancedSettings(panel, page);
}

void AutoUpdate(ControlPanel& panel, DialogControls& page) {
  SetFlagFromCheck(page, IDC_AUTO_UPDATE, &panel.settings.flags, Settings::kFlagAutoUpdate);
}

void DetectGame(ControlPanel& panel, DialogControls& page) {
  SetFlagFromCheck(page, IDC_DETECT_GAME, &panel.settings.flags, Settings::kFlagDetectGame);
}

struct PageCommandEntry {
  int id;
  Command run;
};

// Ids 1 (OK, Enter) and 2 (Cancel) end the page; any id not here does nothing.
// A few numbers stand on both pages (2044, 2050, 2126): only one of the two
// controls sends commands.
const PageCommandEntry kPageCommands[] = {
    {IDC_WHEEL_PORT, ChooseWheelPort},
    {IDC_GAMING_DEVICE, GamingDeviceChosen},
    {IDC_SM_PORT, ChooseDrivePort},
    {IDC_PROFILE_LIST, ProfileChosen},
    {IDC_CENTER_WHEEL, [](ControlPanel& panel, DialogControls&) { panel.link.CentreWheel(); }},
    {IDC_CHECK_NOW, [](ControlPanel& panel, DialogControls&) { panel.updater.StartCheck(false); }},
    {IDC_AUTO_UPDATE, AutoUpdate},
    {IDC_RESET_MAX, [](ControlPanel& panel, DialogControls&) { panel.drive.ResetMax(); }},
    {IDC_CALIBRATE, [](ControlPanel& panel, DialogControls&) { panel.link.StartCalibration(); }},
    {IDC_RESET_BOARD, [](ControlPanel& panel, DialogControls&) { panel.updater.ResetBoard(); }},
    {IDC_FLASH_FILE, [](ControlPanel& panel, DialogControls&) { panel.updater.FlashFileCommand(); }},
    {IDC_PROFILE_NEW, [](ControlPanel& panel, DialogControls& page) { NewProfileCommand(panel.profiles, page); }},
    {IDC_PROFILE_REMOVE, [](ControlPanel& panel, DialogControls& page) { RemoveProfileCommand(panel.profiles, page); }},
    {IDC_PROFILE_EDIT, [](ControlPanel& panel, DialogControls& page) { EditProfileCommand(panel.profiles, page); }},
    {IDC_RESTART_DRIVE, [](ControlPanel& panel, DialogControls&) { panel.drive.RestartDrive(); }},
    {IDC_CLEAR_FAULTS, [](ControlPanel& panel, DialogControls&) { panel.drive.ClearFaults(); }},
    {IDC_INVERT, Invert},
    {IDC_ADVANCED_SETTINGS, AdvancedSettings},
    {IDC_MANUAL, Manual},
    {IDC_DETECT_GAME, DetectGame},
    // On the main page and on the strip alike.
    {IDC_LIVE_FORCES, [](ControlPanel& panel, DialogControls& page) { OpenLiveForcesWindow(panel, page.Window()); }},
    {IDC_SAVE_BOARD, SaveBoardCommand},
    {IDC_LOAD_BOARD, LoadBoardCommand},
    {IDC_PROFILE_EXPORT, ExportProfileCommand},
    {IDC_PROFILE_IMPORT, ImportProfileCommand},
    {IDC_START_WITH_WINDOWS,
     [](ControlPanel& panel, DialogControls& page) {
       StartWithWindowsCommand(panel, page, page.IsChecked(IDC_START_WITH_WINDOWS));
     }},
};

void RunCommand(ControlPanel& panel, DialogControls& page, int id) {
  if (id == 1 || id == 2) {
    EndPage(panel, page, id);
    return;
  }
  for (const PageCommandEntry& command : kPageCommands) {
    if (command.id == id) {
      command.run(panel, page);
      return;
    }
  }
}

}  // namespace

WheelParameter* FindParameterBySlider(ControlPanel& panel, void* slider) {
  return panel.bindings.FindBySlider(slider);
}

void SliderChanged(ControlPanel& panel, WheelParameter& entry) {
  WheelLink& link = panel.link;
  const ParameterControls* controls = panel.bindings.Of(entry);
  DialogControls* dialog = controls != nullptr ? controls->dialog : nullptr;
  // Taken before the wait: a handshake it settles (the start's) reads the
  // board and shows its value, which must not undo the user's move.
  const int32_t position = dialog != nullptr ? dialog->GetSliderPos(controls->sliderId) : 0;
  link.WaitNotBusy();
  StatusHold hold(link);
  if (controls != nullptr) {
    if (dialog != nullptr) {
      entry.value = position;
      if (dialog->GetSliderPos(controls->sliderId) != position) dialog->SetSliderPos(controls->sliderId, position);
    }
    FormatParameterLabel(entry, *controls);
  }
  link.WriteParameter(entry);
}

void PageScroll(ControlPanel& panel, void* slider) {
  WheelParameter* entry = FindParameterBySlider(panel, slider);
  if (entry == nullptr) return;
  SliderChanged(panel, *entry);
  if (entry == &panel.link[kEntryTorqueBandwidth]) panel.drive.SendTorqueBandwidth();
  StoreIntoSelectedProfile(panel);
}

void PageCommand(ControlPanel& panel, DialogControls& page, int id, int notification) {
  // Ticks keep coming while a command runs (its message boxes and dialogs pump
  // messages); the hold keeps the status poll out of the command's exchange.
  StatusHold hold(panel.link);
  if (panel.link.ProbePending() && (id == IDC_INVERT || id == IDC_MANUAL)) {
    // The board read that settles a handshake still out (the start's) shows
    // the board's flags: the box keeps the user's click.
    const bool checked = page.IsChecked(id);
    panel.link.WaitNotBusy();
    page.SetCheck(id, checked);
  }
  if (notification == kListOpening) RefreshPortList(panel, page, id);
  RunCommand(panel, page, id);
}
