// Building the pages: the main page and the drive/state strip are created,
// every board setting is bound to its slider and label, the board is found
// and read, and the frame window is sized around the pages.
#include "app/pages.h"

#include <cstdio>

#include "app/control_panel.h"
#include "ui/dialog_controls.h"
#include "app/options.h"
#include "app/page_hooks.h"
#include "app/page_ids.h"
#include "exec/log.h"
#include "profiles/com_ports.h"
#include "wheel/wheel_parameter.h"

namespace {

struct PageSlider {
  WheelEntry entry;
  int32_t sliderId;
  int32_t labelId;
};

// The main page's sliders in the order they are bound: "Max Angle", then the
// effect gains by parameter number.
const PageSlider kMainPageSliders[] = {
    {kEntryMaxAngle, IDC_MAX_ANGLE_SLIDER, IDC_MAX_ANGLE_VALUE},
    {kEntryMainGain, IDC_MAIN_GAIN_SLIDER, IDC_MAIN_GAIN_VALUE},
    {kEntryGameSpring, IDC_GAME_SPRING_SLIDER, IDC_GAME_SPRING_VALUE},
    {kEntryGameFriction, IDC_GAME_FRICTION_SLIDER, IDC_GAME_FRICTION_VALUE},
    {kEntryGameDamper, IDC_GAME_DAMPER_SLIDER, IDC_GAME_DAMPER_VALUE},
    {kEntryGameInertia, IDC_GAME_INERTIA_SLIDER, IDC_GAME_INERTIA_VALUE},
    {kEntryConstant, IDC_CONSTANT_SLIDER, IDC_CONSTANT_VALUE},
    {kEntrySine, IDC_SINE_SLIDER, IDC_SINE_VALUE},
    {kEntryForceTable, IDC_FORCE_TABLE_SLIDER, IDC_FORCE_TABLE_VALUE},
    {kEntryDesktopSpring, IDC_DESKTOP_SPRING_SLIDER, IDC_DESKTOP_SPRING_VALUE},
    {kEntryDesktopDamper, IDC_DESKTOP_DAMPER_SLIDER, IDC_DESKTOP_DAMPER_VALUE},
    {kEntryStopSpring, IDC_STOP_SPRING_SLIDER, IDC_STOP_SPRING_VALUE},
    {kEntryStopDamper, IDC_STOP_DAMPER_SLIDER, IDC_STOP_DAMPER_VALUE},
    {kEntryUserSpring, IDC_USER_SPRING_SLIDER, IDC_USER_SPRING_VALUE},
    {kEntryUserFriction, IDC_USER_FRICTION_SLIDER, IDC_USER_FRICTION_VALUE},
    {kEntryUserDamper, IDC_USER_DAMPER_SLIDER, IDC_USER_DAMPER_VALUE},
    {kEntryUserInertia, IDC_USER_INERTIA_SLIDER, IDC_USER_INERTIA_VALUE},
};

const char* const kDebugLevels[] = {"None", "Error", "Warning", "Info", "Debug"};

// Binds an entry with its own fixed contents (number, size, range, step, kind,
// unit) to controls of a dialog, or to none.
void Bind(WheelParameter& entry, DialogControls* dialog, int32_t sliderId, int32_t labelId) {
  BindParameter(entry, dialog, sliderId, labelId, entry.number, entry.sizeIndex, entry.minimum,
                entry.maximum, entry.tickStep, entry.kind, entry.unit);
}

}  // namespace

void BindParameter(WheelParameter& entry, DialogControls* dialog, int32_t sliderId,
                   int32_t labelId, uint8_t number, uint8_t sizeIndex, int32_t minimum,
                   int32_t maximum, int32_t tickStep, uint8_t kind, char unit) {
  entry.dialog = dialog;
  entry.slider = nullptr;
  entry.sliderId = sliderId;
  entry.labelId = labelId;
  entry.number = number;
  entry.sizeIndex = sizeIndex;
  entry.minimum = minimum;
  entry.maximum = maximum;
  entry.tickStep = tickStep;
  entry.kind = kind;
  entry.unit = unit;
  if (dialog != nullptr && sliderId != 0) {
    entry.slider = dialog->ItemWindow(sliderId);
    if (entry.slider != nullptr) {
      dialog->SetSliderRange(sliderId, minimum, maximum);
      // A step of 0 would never reach the end; such an entry gets no ticks.
      if (tickStep > 0) {
        const int64_t last = int64_t{maximum} - tickStep;
        for (int64_t t = int64_t{minimum} + tickStep; t <= last; t += tickStep) {
          dialog->AddSliderTick(sliderId, static_cast<int32_t>(t));
        }
      }
    }
  }
  ShowParameter(entry);
}

void SetUpMainPage(ControlPanel& panel, DialogControls& page) {
  panel.mainPage = page.Window();
  panel.mainPageControls = &page;
  char version[16];
  std::snprintf(version, sizeof version, "%d.%d", kSoftwareVersionMajor, kSoftwareVersionMinor);
  page.SetItemText(IDC_SOFTWARE_VERSION, version);

  WheelParameterTable& wheel = panel.wheel;
  Bind(wheel[kEntryOffset], nullptr, 0, 0);  // the strip shows it
  for (const PageSlider& s : kMainPageSliders) Bind(wheel[s.entry], &page, s.sliderId, s.labelId);
  Bind(wheel[kEntryFlags], nullptr, 0, 0);  // shown by "Invert" and "Manual"
  Bind(wheel[kEntryFilter], &page, IDC_FILTER_SLIDER, IDC_FILTER_VALUE);
  Bind(wheel[kEntryExternalGain], &page, 0, IDC_EXTERNAL_GAIN);
  // The Advanced Settings dialog and the strip bind these when they exist.
  const WheelEntry kAdvancedEntries[] = {kEntryCommandMode, kEntryEncoder, kEntryPwmFrequency};
  for (WheelEntry e : kAdvancedEntries) Bind(wheel[e], nullptr, 0, wheel[e].labelId);
  Bind(wheel[kEntryDebugLevel], nullptr, 0, IDC_DEBUG_LEVEL);

  if (panel.wheelPort == 0) panel.wheelPort = DiscoverComPort(kWheelVendorId, kWheelProductId);
  if (panel.smPort == 0 && DeveloperMode()) {
    panel.smPort = DiscoverComPort(kRs485VendorId, kRs485ProductId);
  }
  FillComPortList(page, IDC_WHEEL_PORT, panel.wheelPort);
  if (panel.wheelPort != 0 && panel.ProbeWheel(panel.wheelPort)) panel.ReadAllParameters();

  const int32_t wheelFlags = wheel[kEntryFlags].value;
  page.SetCheck(IDC_INVERT, (wheelFlags & 0x1) != 0);
  page.SetCheck(IDC_MANUAL, (wheelFlags & 0x2) != 0);
  page.SetCheck(IDC_AUTO_UPDATE, (panel.flags & ControlPanel::kFlagAutoUpdate) != 0);
  page.SetCheck(IDC_DETECT_GAME, (panel.flags & ControlPanel::kFlagDetectGame) != 0);

  FillGamingDeviceList(panel, page);
  FillProfiles(panel, page);
}

void SetUpStrip(ControlPanel& panel, DialogControls& strip) {
  panel.strip = strip.Window();
  strip.ResetCombo(IDC_DEBUG_LEVEL);
  for (int level = 0; level < 5; ++level) strip.AddComboItem(IDC_DEBUG_LEVEL, kDebugLevels[level], level);

  if (panel.smPort == 0) panel.smPort = DiscoverComPort(kRs485VendorId, kRs485ProductId);
  FillComPortList(strip, IDC_SM_PORT, panel.smPort);
  if (panel.smPort != 0) ConnectDrive(panel);

  WheelParameterTable& wheel = panel.wheel;
  Bind(wheel[kEntryOffset], &strip, 0, IDC_OFFSET);
  Bind(wheel[kEntryTorqueBandwidth], &strip, IDC_TORQUE_BW_SLIDER, IDC_TORQUE_BW_VALUE);
  Bind(wheel[kEntryDebugLevel], &strip, 0, IDC_DEBUG_LEVEL);
  Bind(wheel[kEntryStatisticsWindow], &strip, IDC_WINDOW_SLIDER, IDC_WINDOW_VALUE);
  EnableInputObjectControls(panel);
}

void BuildPages(ControlPanel& panel, PageWindows& windows) {
  int width = 0;
  int height = 0;
  DialogControls* page = windows.CreatePage(IDD_MAIN_PAGE);
  if (page != nullptr) {
    SetUpMainPage(panel, *page);
    windows.PlacePage(*page, 0, 0, &width, &height);
  } else {
    LogPrintf(0, "BuildPages: could not create the main page");
  }
  if (DeveloperMode()) {
    DialogControls* strip = windows.CreatePage(IDD_STRIP);
    if (strip != nullptr) {
      SetUpStrip(panel, *strip);
      int stripWidth = 0;
      int stripHeight = 0;
      windows.PlacePage(*strip, 0, height, &stripWidth, &stripHeight);
      if (stripWidth > width) width = stripWidth;
      height += stripHeight;
    } else {
      LogPrintf(0, "BuildPages: could not create the drive/state strip");
    }
  }
  windows.ResizeFrame(width + kFrameExtraWidth, height + kFrameExtraHeight);

  char caption[kFrameTitleSize] = "";
  windows.FrameTitle(caption, sizeof caption);
  char title[kFrameTitleSize];
  std::snprintf(title, sizeof title, "%s (version %d.%d)", caption, kSoftwareVersionMajor,
                kSoftwareVersionMinor);
  windows.SetFrameTitle(title);

  windows.ShowFrame();
  panel.statusHold = false;
}
