// Building the pages: the main page and the drive/state strip are created,
// every board setting is bound to its slider and label, the board's handshake
// is sent, and the frame window is sized around the pages.
#include "app/pages.h"

#include <cstdio>
#include <initializer_list>

#include "app/control_panel.h"
#include "app/control_tips.h"
#include "app/file_commands.h"
#include "app/main_page_ids.h"
#include "app/options.h"
#include "app/strip_ids.h"
#include "tillerset_version.h"
#include "exec/log.h"
#include "ui/dialog_controls.h"
#include "wheel/com_ports.h"

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
void Bind(ControlPanel& panel, WheelEntry e, DialogControls* dialog, int32_t sliderId,
          int32_t labelId) {
  WheelParameter& entry = panel.link[e];
  BindParameter(entry, panel.bindings[e], dialog, sliderId, labelId, entry.number, entry.sizeIndex,
                entry.minimum, entry.maximum, entry.tickStep, entry.kind, entry.unit);
}

}  // namespace

void BindMainPage(ControlPanel& panel, DialogControls& page) {
  Bind(panel, kEntryOffset, nullptr, 0, 0);  // the strip shows it
  for (const PageSlider& s : kMainPageSliders) Bind(panel, s.entry, &page, s.sliderId, s.labelId);
  Bind(panel, kEntryFlags, nullptr, 0, 0);  // shown by "Invert" and "Manual"
  Bind(panel, kEntryFilter, &page, IDC_FILTER_SLIDER, IDC_FILTER_VALUE);
  Bind(panel, kEntryExternalGain, &page, 0, IDC_EXTERNAL_GAIN);
  // The Advanced Settings dialog and the strip bind these when they exist.
  for (WheelEntry e : {kEntryCommandMode, kEntryEncoder, kEntryPwmFrequency, kEntryDebugLevel}) {
    Bind(panel, e, nullptr, 0, 0);
  }
}

void SetUpMainPage(ControlPanel& panel, DialogControls& page) {
  panel.mainPage = page.Window();
  panel.mainPageView.page = &page;
  panel.updateView.page = &page;
  panel.inputView.page = &page;
  page.SetItemText(IDC_SOFTWARE_VERSION, TS_VERSION_TEXT);
  BindMainPage(panel, page);

  WheelLink& link = panel.link;
  if (link.wheelPort == 0) link.wheelPort = panel.updater.FindComPortFromIds(kWheelVendorId, kWheelProductId);
  if (panel.settings.smPort == 0 && DeveloperMode()) {
    panel.settings.smPort = panel.updater.FindComPortFromIds(kRs485VendorId, kRs485ProductId);
  }
  FillComPortList(page, IDC_WHEEL_PORT, link.wheelPort);
  // The reply is taken by the ticks; the page shows what it shows without a
  // board until the board is read, and the profiles have their say a tick
  // later (the "Default" made below then takes the board's values).
  if (link.wheelPort != 0) link.StartHandshake(link.wheelPort);

  const int32_t wheelFlags = link[kEntryFlags].value;
  page.SetCheck(IDC_INVERT, (wheelFlags & kWheelFlagInvert) != 0);
  page.SetCheck(IDC_MANUAL, (wheelFlags & kWheelFlagManual) != 0);
  page.SetCheck(IDC_AUTO_UPDATE, (panel.settings.flags & Settings::kFlagAutoUpdate) != 0);
  page.SetCheck(IDC_DETECT_GAME, (panel.settings.flags & Settings::kFlagDetectGame) != 0);
  const DesktopServices& desktop = Desktop();
  page.SetCheck(IDC_START_WITH_WINDOWS, desktop.startsWithWindows != nullptr && desktop.startsWithWindows());

  panel.input.FillDeviceList();
  panel.profiles.FillProfileList();
  AddControlTips(page, TipPage::kMainPage);
}

void SetUpStrip(ControlPanel& panel, DialogControls& strip) {
  panel.strip = strip.Window();
  panel.stripView.strip = &strip;
  panel.inputView.strip = &strip;
  strip.ResetCombo(IDC_DEBUG_LEVEL);
  for (int level = 0; level < 5; ++level) strip.AddComboItem(IDC_DEBUG_LEVEL, kDebugLevels[level], level);

  uint8_t& smPort = panel.settings.smPort;
  if (smPort == 0) smPort = panel.updater.FindComPortFromIds(kRs485VendorId, kRs485ProductId);
  FillComPortList(strip, IDC_SM_PORT, smPort);
  if (smPort != 0) panel.drive.ConfigureDrive(smPort);

  Bind(panel, kEntryOffset, &strip, 0, IDC_OFFSET);
  Bind(panel, kEntryTorqueBandwidth, &strip, IDC_TORQUE_BW_SLIDER, IDC_TORQUE_BW_VALUE);
  Bind(panel, kEntryDebugLevel, &strip, 0, IDC_DEBUG_LEVEL);
  Bind(panel, kEntryStatisticsWindow, &strip, IDC_WINDOW_SLIDER, IDC_WINDOW_VALUE);
  panel.input.UpdateInputObjectControls();
  AddControlTips(strip, TipPage::kStrip);
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
  windows.FitFrameAround(width, height);

  char caption[kFrameTitleSize] = "";
  windows.FrameTitle(caption, sizeof caption);
  char title[kFrameTitleSize];
  std::snprintf(title, sizeof title, "%s (version %d.%d)", caption, TS_VERSION_MAJOR,
                TS_VERSION_MINOR);
  windows.SetFrameTitle(title);

  windows.ShowFrame();
}
