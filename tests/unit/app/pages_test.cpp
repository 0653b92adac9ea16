// The configuration pages against recording dialogs: labels by display kind,
// slider ranges and ticks, page set-up with the board on a fake channel,
// slider writes, commands and the status hold around them, the game
// controller list and readout, frame sizing.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "app/app_tick.h"
#include "app/control_panel.h"
#include "app/options.h"
#include "app/main_page_ids.h"
#include "app/strip_ids.h"
#include "tillerset_version.h"
#include "app/pages.h"
#include "exec_env.h"
#include "fake_dialog.h"
#include "input_fakes.h"
#include "exec/com_port_paths_posix.h"
#include "wheel/wheel_link.h"
#include "wheel_fakes.h"

namespace {

const std::string kDegree = "\xB0";

// ---- display kinds and ticks (no board)

// An entry holding VALUE, bound as the pages bind theirs (the rest are
// BindParameter's arguments in its order).
struct Bound {
  Bound(DialogControls* dialog, int32_t value, int32_t slider, int32_t label, uint8_t number, uint8_t size,
        int32_t minimum, int32_t maximum, int32_t step, uint8_t kind, char unit) {
    entry.value = value;
    BindParameter(entry, controls, dialog, slider, label, number, size, minimum, maximum, step, kind, unit);
  }
  WheelParameter entry;
  ParameterControls controls;
};

TEST(PageLabels, EveryDisplayKindShowsItsText) {
  struct Case {
    uint8_t kind;
    char unit;
    int32_t value;
    const char* text;
  };
  const Case cases[] = {
      {kShowNumber, '%', 5, "5"}, {kShowNumber, '%', -3, "-3"}, {kShowPercent127, '%', 64, "50 %"},
      {kShowPercent127, '%', 0, "0 %"}, {kShowPercent127, '%', 127, "100 %"}, {kShowPercent127, '%', 1, "0 %"},
      {kShowValueUnit, kDegreeSign, 900, "900 \xB0"},
      {kShowSeconds, 's', 10, "1.0 s"}, {kShowSeconds, 's', 99, "9.9 s"}, {kShowSeconds, 's', 150, "15 s"},
      {kShowSeconds, 's', 599, "60 s"},  // 59.9 s, rounded by "%2.0f"
      {kShowSeconds, 's', 600, "1.0 mn"}, {kShowSeconds, 's', 3000, "5.0 mn"},
      {kShowBandwidth, '%', 0, "100 Hz"}, {kShowBandwidth, '%', 10, "4700 Hz"},
      {kShowBandwidth, '%', 11, "Unlimited"}, {kShowFilter, '%', 1, "0 %"}, {kShowFilter, '%', 16, "50 %"},
      {kShowFilter, '%', 31, "100 %"}, {kShowFraction4096, '%', 4096, "1.00"},
      {kShowFraction4096, '%', 2048, "0.50"},
  };
  for (const Case& c : cases) {
    FakeDialog page;
    Bound bound(&page, c.value, 0, 2029, 17, kSizeIndex1, 0, 3000, 10, c.kind, c.unit);
    EXPECT_EQ(page.Text(2029), c.text) << "kind " << int(c.kind) << " value " << c.value;
  }
}

TEST(PageLabels, KindsWithoutTextLeaveTheLabelKindFiveSelectsAndNoDialogIsHarmless) {
  for (uint8_t kind : {kShowFlags, kShowField}) {
    FakeDialog page;
    Bound bound(&page, 1, 0, 2029, 34, kSizeIndex1, 0, 1, 1, kind, '%');
    EXPECT_EQ(page.TextCount(2029), 0u) << int(kind);
  }
  FakeDialog strip;
  for (const char* level : {"None", "Error", "Warning", "Info"}) strip.AddComboItem(IDC_DEBUG_LEVEL, level, 0);
  Bound debug(&strip, 2, 0, IDC_DEBUG_LEVEL, 16, kSizeIndex1, 0, 3, 1, kShowListItem, '%');
  EXPECT_EQ(strip.Selected(IDC_DEBUG_LEVEL), 2);
  EXPECT_EQ(strip.TextCount(IDC_DEBUG_LEVEL), 0u);

  // Without a dialog nothing is shown and nothing is bound.
  Bound loose(nullptr, 0, 2021, 2029, 17, kSizeIndex1, 0, 127, 10, kShowPercent127, '%');
  EXPECT_EQ(loose.controls.dialog, nullptr);
  EXPECT_EQ(loose.controls.slider, nullptr);
}

TEST(PageSliders, RangeAndTicksStopOneStepShortOfTheMaximum) {
  struct Case {
    int32_t minimum, maximum, step;
    std::vector<int32_t> first;  // leading ticks
    int32_t last;
    size_t count;
  };
  const Case cases[] = {
      {0, 127, 10, {10, 20, 30}, 110, 11},    // not 120
      {1, 31, 1, {2, 3, 4}, 30, 29}, {180, 2160, 10, {190, 200}, 2150, 197}, {1, 3000, 10, {11, 21}, 2981, 298},
      {0, 11, 1, {1, 2}, 10, 10},
  };
  for (const Case& c : cases) {
    FakeDialog page;
    Bound bound(&page, c.minimum, 2021, 2029, 17, kSizeIndex1, c.minimum, c.maximum, c.step, kShowPercent127, '%');
    auto range = std::make_pair(c.minimum, c.maximum);
    EXPECT_EQ(page.ranges[2021], range);
    const std::vector<int32_t>& ticks = page.ticks[2021];
    ASSERT_EQ(ticks.size(), c.count) << c.maximum;
    EXPECT_TRUE(std::equal(c.first.begin(), c.first.end(), ticks.begin()));
    EXPECT_EQ(ticks.back(), c.last);
    EXPECT_EQ(bound.controls.slider, page.Handle(2021));
    EXPECT_EQ(page.sliders[2021], c.minimum);
  }
}

TEST(PageSliders, StepZeroAndMissingSliderAreHarmless) {
  FakeDialog page;
  Bound stepZero(&page, 0, 2021, 2029, 4, kSizeIndex4, 0, 0, 0, kShowNumber, '%');
  EXPECT_TRUE(page.ticks[2021].empty());

  FakeDialog bare;
  bare.missing.insert(2021);
  Bound noSlider(&bare, 64, 2021, 2029, 17, kSizeIndex1, 0, 127, 10, kShowPercent127, '%');
  EXPECT_EQ(noSlider.controls.slider, nullptr);
  EXPECT_EQ(bare.ranges.count(2021), 0u);
  EXPECT_EQ(bare.Text(2029), "50 %");  // the label still shows
}

// ---- pages with the stand-in board behind a fake channel

// A clock whose sleeps end the link's busy time after busyMs.
class BusyClock : public FakeClock {
 public:
  ControlPanel* panel = nullptr;
  uint64_t busyUntilMs = 0;
  void SleepMs(uint32_t ms) override {
    FakeClock::SleepMs(ms);
    if (panel && now / 1000 >= busyUntilMs) panel->link.linkBusy = false;
  }
};

// Records the status hold flag at every write to the board.
class HoldWatchingChannel : public FakeChannel {
 public:
  using FakeChannel::FakeChannel;
  ControlPanel* panel = nullptr;
  std::vector<bool> holdAtWrite;
  uint32_t Write(const void* data, uint32_t count) override {
    if (panel) holdAtWrite.push_back(panel->link.statusHold);
    return FakeChannel::Write(data, count);
  }
};

// The runtime is started: the main page fills the profile list.
class Pages : public ExecEnv {
 protected:
  void SetUp() override {
    ExecEnv::SetUp();
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    ASSERT_TRUE(Start(0, 0, 0));
    SetComPortDirectory(dir_.c_str());  // no port of this machine is listed
    SetStartupOptions(StartupOptions{});
    clock.panel = &panel;
    port.panel = &panel;
    panel.link.channel = &port;
    panel.link.clock = &clock;
    panel.link.wheelPort = 7;
  }
  void TearDown() override {
    SetComPortDirectory(nullptr);
    SetStartupOptions(StartupOptions{});
    panel.profiles.FreeProfiles();
    ExecEnv::TearDown();
  }
  // The ticks after the set-up, until its handshake has been answered (or
  // not), the board read and the profiles told.
  void TickHandshake() {
    while (panel.link.ProbePending()) {
      clock.now += 33000;
      panel.link.ContinueProbe();
    }
  }
  // Set up the main page and forget what the set-up wrote.
  void SetUpPage() {
    SetUpMainPage(panel, page);
    TickHandshake();
    port.written.clear();
    port.holdAtWrite.clear();
    panel.link.statusHold = false;
  }
  std::vector<Bytes> Writes() const { return ParameterWrites(port.written); }

  BusyClock clock;
  StandinBoard board;
  HoldWatchingChannel port{clock, board};
  ControlPanel panel;
  FakeDialog page;
  FakeDialog strip;
};

TEST_F(Pages, MainPageShowsWhatTheBoardHolds) {
  board.SetParameter(34, 0x2);  // "Manual"
  panel.settings.flags = Settings::kFlagDetectGame;
  SetUpMainPage(panel, page);
  TickHandshake();

  EXPECT_EQ(panel.link.linkState, kWheelFound);
  EXPECT_EQ(panel.mainPageView.page, &page);
  EXPECT_EQ(panel.mainPage, page.Window());
  EXPECT_EQ(page.sliders[IDC_MAX_ANGLE_SLIDER], 900);
  // External gain is not read in bulk; the refresh shows it.
  for (auto [id, text] : {std::pair<int, std::string>{IDC_SOFTWARE_VERSION, TS_VERSION_TEXT},
                          {IDC_MAX_ANGLE_VALUE, "900 " + kDegree}, {IDC_MAIN_GAIN_VALUE, "50 %"},
                          {IDC_FILTER_VALUE, "50 %"}, {IDC_CONSTANT_VALUE, "100 %"}, {IDC_EXTERNAL_GAIN, "0 %"}}) {
    EXPECT_EQ(page.Text(id), text) << id;
  }
  EXPECT_FALSE(page.IsChecked(IDC_INVERT));
  EXPECT_TRUE(page.IsChecked(IDC_MANUAL));
  EXPECT_FALSE(page.IsChecked(IDC_AUTO_UPDATE));
  EXPECT_TRUE(page.IsChecked(IDC_DETECT_GAME));
  // The port list: only "None" here (no port of this machine opens), selected.
  ASSERT_EQ(page.combos[IDC_WHEEL_PORT].size(), 1u);
  EXPECT_EQ(page.combos[IDC_WHEEL_PORT][0].text, "None");
  EXPECT_EQ(page.Selected(IDC_WHEEL_PORT), 0);

  // Every main page slider is bound with the range of its parameter; the
  // strip's entries and those of the Advanced Settings dialog are not shown.
  const int sliders[] = {2037, 2021, 2031, 2046, 2049, 2063, 2055, 2059, 2069,
                         2032, 2058, 2044, 2072, 2038, 2050, 2062, 2066, 1077};
  for (int id : sliders) {
    EXPECT_EQ(page.ranges.count(id), 1u) << id;
    WheelParameter* entry = FindParameterBySlider(panel, page.Handle(id));
    ASSERT_NE(entry, nullptr) << id;
    EXPECT_EQ(panel.bindings.Of(*entry)->sliderId, id);
  }
  EXPECT_EQ(page.ranges[IDC_MAX_ANGLE_SLIDER], std::make_pair(180, 2160));
  EXPECT_EQ(page.ranges[IDC_FILTER_SLIDER], std::make_pair(1, 31));
  EXPECT_EQ(page.ticks[IDC_MAIN_GAIN_SLIDER].back(), 110);
  EXPECT_EQ(page.ranges.size(), 18u);
  for (WheelEntry e : {kEntryOffset, kEntryDebugLevel, kEntryEncoder, kEntryTorqueBandwidth}) {
    EXPECT_EQ(panel.bindings[e].dialog, nullptr) << e;
  }
}

TEST_F(Pages, NoPortMeansNoProbe) {
  panel.link.wheelPort = 0;
  SetUpMainPage(panel, page);
  EXPECT_TRUE(port.opens.empty());
  EXPECT_EQ(panel.link.linkState, kDisconnected);
  EXPECT_EQ(page.Text(IDC_MAX_ANGLE_VALUE), "900 " + kDegree) << "the new-profile values of Default";
}

TEST_F(Pages, StripShowsOffsetDebugLevelBandwidthAndWindow) {
  board.SetParameter(16, 0);
  board.SetParameter(4, -25);
  SetUpMainPage(panel, page);
  TickHandshake();
  panel.link.parameters[kEntryDebugLevel].value = 3;
  SetUpStrip(panel, strip);

  EXPECT_EQ(panel.strip, strip.Window());
  ASSERT_EQ(strip.combos[IDC_DEBUG_LEVEL].size(), 5u);
  const char* levels[] = {"None", "Error", "Warning", "Info", "Debug"};
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(strip.combos[IDC_DEBUG_LEVEL][i].text, levels[i]);
    EXPECT_EQ(strip.combos[IDC_DEBUG_LEVEL][i].data, i);
  }
  EXPECT_EQ(strip.Selected(IDC_DEBUG_LEVEL), 3);
  EXPECT_EQ(strip.Text(IDC_OFFSET), "-25");
  EXPECT_EQ(strip.Text(IDC_TORQUE_BW_VALUE), "100 Hz");
  EXPECT_EQ(strip.ranges[IDC_TORQUE_BW_SLIDER], std::make_pair(0, 11));
  EXPECT_EQ(strip.Text(IDC_WINDOW_VALUE), "1.0 s");
  EXPECT_EQ(strip.ranges[IDC_WINDOW_SLIDER], std::make_pair(1, 3000));
  EXPECT_EQ(strip.Selected(IDC_SM_PORT), 0);  // "None"
  EXPECT_EQ(page.TextCount(IDC_OFFSET), 0u);
}

TEST_F(Pages, MovingASliderWritesItOnceAndRestoresTheHold) {
  SetUpPage();
  page.SetSliderPos(IDC_MAIN_GAIN_SLIDER, 100);
  PageScroll(panel, page.Handle(IDC_MAIN_GAIN_SLIDER));
  ASSERT_EQ(Writes().size(), 1u);
  EXPECT_EQ(Writes()[0], (Bytes{'P', 17, 1, 100}));
  EXPECT_EQ(board.Parameter(17), 100);
  EXPECT_EQ(page.Text(IDC_MAIN_GAIN_VALUE), "78 %");
  EXPECT_EQ(port.holdAtWrite, std::vector<bool>{true});
  EXPECT_FALSE(panel.link.statusHold);

  // A write while the hold was already set leaves it set.
  panel.link.statusHold = true;
  page.SetSliderPos(IDC_MAX_ANGLE_SLIDER, 720);
  PageScroll(panel, page.Handle(IDC_MAX_ANGLE_SLIDER));
  EXPECT_EQ(Writes().back(), (Bytes{'P', 8, 4, 0x00, 0x00, 0x02, 0xD0}));
  EXPECT_TRUE(panel.link.statusHold);
}

TEST_F(Pages, NotABoardParameterOnlyUpdatesItsLabel) {
  SetUpPage();
  SetUpStrip(panel, strip);
  port.written.clear();
  strip.SetSliderPos(IDC_TORQUE_BW_SLIDER, 11);
  PageScroll(panel, strip.Handle(IDC_TORQUE_BW_SLIDER));
  strip.SetSliderPos(IDC_WINDOW_SLIDER, 3000);
  PageScroll(panel, strip.Handle(IDC_WINDOW_SLIDER));
  EXPECT_TRUE(port.written.empty());
  EXPECT_EQ(strip.Text(IDC_TORQUE_BW_VALUE), "Unlimited");
  EXPECT_EQ(strip.Text(IDC_WINDOW_VALUE), "5.0 mn");
}

TEST_F(Pages, ScrollOfAnUnknownWindowDoesNothing) {
  SetUpPage();
  PageScroll(panel, nullptr);
  PageScroll(panel, page.Handle(IDC_MAIN_GAIN_TEXT));
  PageScroll(panel, strip.Handle(IDC_MAIN_GAIN_SLIDER));  // same id, other dialog
  EXPECT_TRUE(port.written.empty());
  // The entries of parameters 34 and 16 are never taken for a slider.
  panel.bindings[kEntryFlags].slider = page.Handle(4000);
  panel.bindings[kEntryDebugLevel].slider = page.Handle(4001);
  EXPECT_EQ(FindParameterBySlider(panel, page.Handle(4000)), nullptr);
  EXPECT_EQ(FindParameterBySlider(panel, page.Handle(4001)), nullptr);
  panel.bindings.Of(panel.link.parameters.analogCurves[2])->slider = page.Handle(4002);
  EXPECT_EQ(FindParameterBySlider(panel, page.Handle(4002)), &panel.link.parameters.analogCurves[2]);
}

TEST_F(Pages, FlagBoxesToggleTheirBitsAndWriteEachTime) {
  struct Case {
    int id;
    int32_t before, on;  // parameter 34 before and with the box checked
  };
  // Invert sets bit 0 and flips bit 2; Manual sets bit 1 only.
  for (Case c : {Case{IDC_INVERT, 0x2, 0x7}, Case{IDC_MANUAL, 0x5, 0x7}}) {
    panel.profiles.FreeProfiles();  // each case starts as a first run
    board.SetParameter(34, c.before);
    SetUpPage();
    page.SetCheck(c.id, true);  // the click has toggled the box already
    PageCommand(panel, page, c.id);
    EXPECT_EQ(panel.link.parameters[kEntryFlags].value, c.on) << c.id;
    EXPECT_EQ(board.Parameter(34), c.on) << c.id;
    page.SetCheck(c.id, false);
    PageCommand(panel, page, c.id);
    EXPECT_EQ(panel.link.parameters[kEntryFlags].value, c.before) << c.id;
    EXPECT_EQ(Writes(), (std::vector<Bytes>{{'P', 34, 1, uint8_t(c.on)}, {'P', 34, 1, uint8_t(c.before)}})) << c.id;
  }
}

TEST_F(Pages, CommandsHoldTheStatusAndGiveItBackAsItWas) {
  SetUpPage();
  board.SetStatusScript({8});
  panel.link.linkState = kWheelReady;
  struct Case {
    int id;
    bool holdBefore;
  };
  for (Case c : {Case{IDC_CENTER_WHEEL, false}, Case{IDC_CALIBRATE, false},
                 Case{IDC_CENTER_WHEEL, true}, Case{IDC_INVERT, false}}) {
    port.holdAtWrite.clear();
    panel.link.statusHold = c.holdBefore;
    PageCommand(panel, page, c.id);
    EXPECT_EQ(panel.link.statusHold, c.holdBefore) << c.id;
    ASSERT_FALSE(port.holdAtWrite.empty()) << c.id;
    for (bool held : port.holdAtWrite) EXPECT_TRUE(held) << c.id;
  }
  // Also while a message box is open, and for ids nothing acts on.
  panel.link.linkState = kDisconnected;
  bool heldInBox = false;
  page.onMessage = [&](const FakeDialog::Message&) { heldInBox = panel.link.statusHold; };
  PageCommand(panel, page, IDC_ADVANCED_SETTINGS);
  EXPECT_TRUE(heldInBox);
  EXPECT_FALSE(panel.link.statusHold);
  panel.link.statusHold = true;
  PageCommand(panel, page, 4711);
  EXPECT_TRUE(panel.link.statusHold) << "a hold from before (the start-up's) outlasts the command";
}

TEST_F(Pages, ACommandWaitsWhileTheLinkIsBusy) {
  SetUpPage();
  panel.link.linkState = kWheelReady;
  panel.link.linkBusy = true;
  const uint64_t start = clock.now / 1000;
  clock.busyUntilMs = start + 40;
  PageCommand(panel, page, IDC_CENTER_WHEEL);
  ASSERT_FALSE(port.written.empty());
  EXPECT_EQ(port.written[0], 'c');
  EXPECT_GE(clock.now / 1000 - start, 40u);

  // A link that stays busy is given up on after 500 ms; the command goes on.
  port.written.clear();
  panel.link.linkBusy = true;
  clock.busyUntilMs = ~0ull;
  const uint64_t again = clock.now / 1000;
  PageCommand(panel, page, IDC_CALIBRATE);
  EXPECT_EQ(port.written, Bytes{'r'});
  EXPECT_GE(clock.now / 1000 - again, 500u);
  EXPECT_LT(clock.now / 1000 - again, 600u);
}

TEST_F(Pages, CommandsThatNeedTheBoard) {
  SetUpPage();
  panel.link.linkState = kWheelFound;
  PageCommand(panel, page, IDC_CENTER_WHEEL);  // only once the wheel is ready
  EXPECT_TRUE(port.written.empty());

  // Advanced Settings says why it does not open until the wheel is found.
  for (auto [state, messages] : {std::pair{kDisconnected, 1u}, {kConnected, 2u}, {kWheelFound, 2u}}) {
    panel.link.linkState = state;
    PageCommand(panel, page, IDC_ADVANCED_SETTINGS);
    ASSERT_EQ(page.messages.size(), messages) << int(state);
  }
  EXPECT_EQ(page.messages[0].text,
            "Could not find the wheel device, please connect it and check firmware version");
  EXPECT_EQ(page.messages[0].style, kMessageInformation);
}

TEST_F(Pages, CheckBoxesSetTheirFlagBits) {
  SetUpPage();
  panel.settings.flags = 0x10;
  for (auto [id, on, flags] : {std::tuple{IDC_AUTO_UPDATE, true, 0x11u}, std::tuple{IDC_DETECT_GAME, true, 0x13u},
                               std::tuple{IDC_AUTO_UPDATE, false, 0x12u}}) {
    page.SetCheck(id, on);
    PageCommand(panel, page, id);
    EXPECT_EQ(panel.settings.flags, flags) << id << " " << on;
  }
  EXPECT_TRUE(port.written.empty());
}

// ---- the game controller: list 1042, the strip's "Wheel State" pairs, the readout

// The game controllers behind the pages; no wheel port, so no board is probed.
class InputPages : public Pages {
 protected:
  void SetUp() override {
    Pages::SetUp();
    backend.Add(1, "Kestra Wheel");
    backend.Add(2, "Pedal Box", WheelObjects(3, 0, 0, 4));
    panel.input.backend = &backend;
    panel.link.wheelPort = 0;
  }
  void TearDown() override {
    panel.input.Shutdown();
    Pages::TearDown();
  }
  FakeGamingBackend backend;
};

TEST_F(InputPages, TheListShowsTheControllersAndTheChoiceGoesToConfigIni) {
  panel.input.table.usedDevice = TestGuid(2);
  ASSERT_EQ(panel.input.InitGamingInput(nullptr), kInputOk);
  SetUpMainPage(panel, page);
  SetUpStrip(panel, strip);

  ASSERT_EQ(page.ComboTexts(IDC_GAMING_DEVICE), (std::vector<std::string>{"Kestra Wheel", "Pedal Box"}));
  EXPECT_EQ(page.combos[IDC_GAMING_DEVICE][1].data, 1);
  EXPECT_EQ(page.Selected(IDC_GAMING_DEVICE), 1);
  EXPECT_TRUE(strip.IsItemEnabled(IDC_Z_AXIS));
  EXPECT_TRUE(strip.IsItemEnabled(IDC_Z_AXIS_TEXT));
  EXPECT_FALSE(strip.IsItemEnabled(IDC_RX_AXIS));
  EXPECT_FALSE(strip.IsItemEnabled(IDC_POV0_TEXT)) << "the pedal box has no hat";

  page.Pick(IDC_GAMING_DEVICE, 0);
  PageCommand(panel, page, IDC_GAMING_DEVICE, kListSelectionChanged);
  EXPECT_EQ(panel.input.ActiveIndex(), 0);
  EXPECT_TRUE(strip.IsItemEnabled(IDC_POV0_TEXT));
  EXPECT_TRUE(strip.IsItemEnabled(IDC_SLIDER1));
  EXPECT_FALSE(strip.IsItemEnabled(IDC_POV1));

  // Focus and opening notify too: the same pick does not activate again.
  backend.calls.clear();
  PageCommand(panel, page, IDC_GAMING_DEVICE, kListOpening);
  EXPECT_EQ(backend.Count("EnumObjects"), 0);

  ASSERT_TRUE(panel.SaveSettings());
  ControlPanel loaded;
  loaded.LoadSettings();
  EXPECT_TRUE(loaded.input.table.usedDevice == TestGuid(1));
}

TEST_F(InputPages, TheReadoutLandsInTheStripsValueControls) {
  backend.Find(TestGuid(1))->state.axes[0] = 12345;
  ASSERT_EQ(panel.input.InitGamingInput(nullptr), kInputOk);
  SetUpMainPage(panel, page);
  SetUpStrip(panel, strip);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(panel.input.ReadGamingInput(), 0);
  EXPECT_EQ(strip.Text(IDC_X_AXIS), "12345");
  EXPECT_EQ(strip.Text(IDC_POV0), "ffffffff");
  EXPECT_EQ(strip.TextCount(IDC_X_AXIS), 1u) << "set once, then left alone";
  EXPECT_EQ(page.TextCount(IDC_X_AXIS), 0u);
}

// ---- what a user does: settings kept across re-plugs and port choices

// The once-a-second refresh, then ticks while its handshake waits for the reply.
void RefreshAndTick(ControlPanel& panel, FakeClock& clock) {
  panel.RefreshStatus();
  while (panel.link.ProbePending()) {
    clock.now += 33000;
    panel.link.ContinueProbe();
  }
  clock.now += 1001000;
}

TEST_F(Pages, ABoardFoundLaterGivesTheDefaultMadeWithoutOneItsOwnValues) {
  port.present = false;  // not plugged in at start
  board.SetParameter(17, 100);
  board.SetParameter(8, 540);
  SetUpPage();
  GameProfile* made = panel.profiles.CurrentProfile();
  ASSERT_NE(made, nullptr);
  EXPECT_EQ(made->maxAngle, 900u) << "the new-profile values until a board answers";

  port.present = true;
  port.written.clear();
  RefreshAndTick(panel, clock);
  EXPECT_EQ(panel.link.linkState, kWheelFound);
  Bytes readOnly = B("orvenk?");
  const Bytes bulk = BulkReadRequests();
  readOnly.insert(readOnly.end(), bulk.begin(), bulk.end());
  EXPECT_EQ(port.written, readOnly) << "the board keeps its own settings";
  EXPECT_EQ(made->mainGain, 100);
  EXPECT_EQ(made->maxAngle, 540u);
  EXPECT_EQ(page.Text(IDC_MAIN_GAIN_VALUE), "78 %");

  // From now on it is the user's: a board plugged in later gets it.
  board.SetParameter(17, 10);
  port.dead = true;
  RefreshAndTick(panel, clock);
  ASSERT_EQ(panel.link.linkState, kDisconnected);
  port.dead = false;
  RefreshAndTick(panel, clock);
  EXPECT_EQ(board.Parameter(17), 100);
}

TEST_F(Pages, ABoardPluggedBackGetsTheSelectedProfileNotTheOtherWayRound) {
  SetUpPage();
  GameProfile* rally = panel.profiles.CreateProfile("Rally", "rally.exe");
  ASSERT_NE(rally, nullptr);
  rally->mainGain = 90;
  rally->maxAngle = 540;
  panel.profiles.SelectProfile(1);

  // Pulled out; it comes back with its settings reset.
  port.dead = true;
  RefreshAndTick(panel, clock);
  ASSERT_EQ(panel.link.linkState, kDisconnected);
  port.dead = false;
  board.SetParameter(17, 10);
  board.SetParameter(8, 1080);
  RefreshAndTick(panel, clock);
  EXPECT_EQ(panel.link.linkState, kWheelFound);
  EXPECT_EQ(board.Parameter(17), 90);
  EXPECT_EQ(board.Parameter(8), 540);
  EXPECT_EQ(rally->mainGain, 90) << "the profile is not overwritten with the board's values";
  EXPECT_EQ(page.sliders[IDC_MAIN_GAIN_SLIDER], 90);
  EXPECT_EQ(page.sliders[IDC_MAX_ANGLE_SLIDER], 540);
}

TEST_F(Pages, FlagBoxesAreKeptInTheProfileAndOnlyARealChangeOfProfileWrites) {
  SetUpPage();
  ASSERT_NE(panel.profiles.CreateProfile("Rally", "rally.exe"), nullptr);
  GameProfile* chosen = panel.profiles.CurrentProfile();
  ASSERT_NE(chosen, nullptr);
  page.SetCheck(IDC_INVERT, true);
  PageCommand(panel, page, IDC_INVERT);
  page.SetCheck(IDC_MANUAL, true);
  PageCommand(panel, page, IDC_MANUAL);
  EXPECT_EQ(chosen->optionFlags & (kWheelFlagInvert | kWheelFlagManual), kWheelFlagInvert | kWheelFlagManual);

  // Focus, opening and closing notify with the selection unchanged.
  port.written.clear();
  for (int notification : {3, kListOpening, 8, kListSelectionChanged}) {
    PageCommand(panel, page, IDC_PROFILE_LIST, notification);
  }
  EXPECT_TRUE(port.written.empty());
  EXPECT_TRUE(page.IsChecked(IDC_INVERT));

  // Another profile and back: 15 writes each way, and the boxes come back.
  page.Pick(IDC_PROFILE_LIST, 1);
  PageCommand(panel, page, IDC_PROFILE_LIST, kListSelectionChanged);
  EXPECT_EQ(Writes().size(), 15u);
  EXPECT_FALSE(page.IsChecked(IDC_INVERT));
  page.Pick(IDC_PROFILE_LIST, 0);
  PageCommand(panel, page, IDC_PROFILE_LIST, kListSelectionChanged);
  EXPECT_EQ(Writes().size(), 30u);
  EXPECT_TRUE(page.IsChecked(IDC_INVERT));
  EXPECT_TRUE(page.IsChecked(IDC_MANUAL));
  EXPECT_EQ(board.Parameter(34) & (kWheelFlagInvert | kWheelFlagManual), kWheelFlagInvert | kWheelFlagManual);
}

TEST_F(Pages, APortChosenInTheListIsReadAndNoneDisconnects) {
  panel.link.wheelPort = 0;
  board.SetParameter(17, 100);
  SetUpPage();
  page.ResetCombo(IDC_WHEEL_PORT);
  page.AddComboItem(IDC_WHEEL_PORT, "None", 0);
  page.AddComboItem(IDC_WHEEL_PORT, "COM7", 7);
  page.Pick(IDC_WHEEL_PORT, -1);
  PageCommand(panel, page, IDC_WHEEL_PORT, kListSelectionChanged);
  EXPECT_TRUE(port.opens.empty()) << "no selection opens nothing";
  page.Pick(IDC_WHEEL_PORT, 1);
  PageCommand(panel, page, IDC_WHEEL_PORT, kListSelectionChanged);
  PageCommand(panel, page, IDC_WHEEL_PORT, kListSelectionChanged);  // the same port again: nothing
  EXPECT_EQ(port.opens, std::vector<uint32_t>{7});
  Bytes expected = B("orvenk?");
  const Bytes bulk = BulkReadRequests();
  expected.insert(expected.end(), bulk.begin(), bulk.end());
  EXPECT_EQ(port.written, expected) << "the handshake, then every parameter read";
  EXPECT_EQ(page.Text(IDC_MAIN_GAIN_VALUE), "78 %");
  EXPECT_EQ(page.Text(IDC_DEVICE_STATUS), "Wheel Found");
  EXPECT_EQ(panel.profiles.CurrentProfile()->mainGain, 100) << "Default takes the board's values";

  board.SetStatusScript({8});
  RefreshAndTick(panel, clock);
  ASSERT_EQ(panel.link.linkState, kWheelReady);
  port.written.clear();
  page.Pick(IDC_WHEEL_PORT, 0);
  PageCommand(panel, page, IDC_WHEEL_PORT, kListSelectionChanged);
  EXPECT_FALSE(port.IsOpen());
  EXPECT_EQ(panel.link.linkState, kDisconnected);
  EXPECT_EQ(page.Text(IDC_DEVICE_STATUS), "Disconnected");
  EXPECT_EQ(page.Text(IDC_FIRMWARE_VERSION), "0.0");
  for (int id : {IDC_CENTER_WHEEL, IDC_CALIBRATE, IDC_INVERT}) PageCommand(panel, page, id);
  RefreshAndTick(panel, clock);
  EXPECT_TRUE(port.written.empty()) << "nothing talks to a port the user let go";
  EXPECT_EQ(port.opens.size(), 1u);

  // The drive's port is only stored.
  strip.AddComboItem(IDC_SM_PORT, "None", 0);
  strip.AddComboItem(IDC_SM_PORT, "COM3", 3);
  strip.Pick(IDC_SM_PORT, 1);
  PageCommand(panel, strip, IDC_SM_PORT);
  EXPECT_EQ(panel.settings.smPort, 3);
  EXPECT_EQ(port.opens.size(), 1u);
}

TEST_F(Pages, TheRefreshSetsATextOnlyWhenItsControlShowsAnother) {
  SetUpPage();
  board.SetStatusScript({kStatusReady});
  RefreshAndTick(panel, clock);
  const std::string gain = page.Text(IDC_EXTERNAL_GAIN);
  const size_t sets = page.TextCount(IDC_DEVICE_STATUS) + page.TextCount(IDC_EXTERNAL_GAIN);
  for (int second = 0; second < 3; ++second) RefreshAndTick(panel, clock);
  EXPECT_EQ(page.TextCount(IDC_DEVICE_STATUS) + page.TextCount(IDC_EXTERNAL_GAIN), sets);
  // Compared with the control, not with what the refresh gave last.
  page.SetItemText(IDC_EXTERNAL_GAIN, "another writer's");
  RefreshAndTick(panel, clock);
  EXPECT_EQ(page.Text(IDC_EXTERNAL_GAIN), gain);
}

TEST_F(Pages, APortListThatOpensLearnsOfPortsThatAppeared) {
  panel.link.wheelPort = 0;
  SetUpPage();
  ASSERT_EQ(page.combos[IDC_WHEEL_PORT].size(), 1u);
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  ASSERT_GE(master, 0);
  ASSERT_EQ(grantpt(master), 0);
  ASSERT_EQ(unlockpt(master), 0);
  const std::string link = dir_ + "/COM5";
  ASSERT_EQ(symlink(ptsname(master), link.c_str()), 0);
  PageCommand(panel, page, IDC_WHEEL_PORT, kListOpening);
  ASSERT_EQ(page.combos[IDC_WHEEL_PORT].size(), 2u);
  EXPECT_EQ(page.combos[IDC_WHEEL_PORT][1].text, "COM5");
  EXPECT_EQ(page.Selected(IDC_WHEEL_PORT), 0) << "still None until the user picks it";
  EXPECT_TRUE(port.opens.empty());
  unlink(link.c_str());
  close(master);
}

TEST_F(Pages, TheRefreshStartsTheUpdateCheckOnceAndNeverUnderTheHold) {
  static int checks;
  checks = 0;
  panel.startAutoUpdateCheck = [](ControlPanel&) { ++checks; };
  panel.settings.flags = Settings::kFlagAutoUpdate;
  panel.link.wheelPort = 0;
  panel.link.statusHold = true;
  panel.RefreshStatus();
  EXPECT_EQ(checks, 0);
  panel.link.statusHold = false;
  panel.RefreshStatus();
  panel.RefreshStatus();
  EXPECT_EQ(checks, 1);
  EXPECT_TRUE(panel.updateStarted);
  EXPECT_TRUE(port.opens.empty());
}

// ---- building the pages inside the frame

class FakeWindows : public PageWindows {
 public:
  FakeDialog main;
  FakeDialog strip;
  int mainWidth = 964, mainHeight = 382;
  int stripWidth = 966, stripHeight = 102;
  std::vector<int> created;
  std::vector<std::pair<int, int>> placed;
  std::pair<int, int> frameSize{0, 0};
  std::string caption = "Kestra Wheel Configuration";
  std::string title;
  bool shown = false;
  bool holdWhenShown = false;
  ControlPanel* panel = nullptr;
  bool failMain = false;

  DialogControls* CreatePage(int id) override {
    created.push_back(id);
    if (id == 157) return failMain ? nullptr : &main;
    return &strip;
  }
  void PlacePage(DialogControls& page, int x, int y, int* w, int* h) override {
    placed.push_back({x, y});
    const bool isMain = &page == &main;
    *w = isMain ? mainWidth : stripWidth;
    *h = isMain ? mainHeight : stripHeight;
  }
  void FitFrameAround(int w, int h) override { frameSize = {w, h}; }
  void FrameTitle(char* out, size_t size) override {
    std::snprintf(out, size, "%s", caption.c_str());
  }
  void SetFrameTitle(const char* t) override { title = t; }
  void ShowFrame() override {
    shown = true;
    holdWhenShown = panel->link.statusHold;
  }
};

TEST_F(Pages, BuildPagesSizesTheFrameAroundTheMainPage) {
  FakeWindows windows;
  windows.panel = &panel;
  BuildPages(panel, windows);
  TickHandshake();
  EXPECT_EQ(windows.created, std::vector<int>{157});
  EXPECT_EQ(windows.placed, (std::vector<std::pair<int, int>>{{0, 0}}));
  EXPECT_EQ(windows.frameSize, std::make_pair(964, 382));
  EXPECT_EQ(windows.title, "Kestra Wheel Configuration (version " TS_VERSION_TEXT ")");
  EXPECT_TRUE(windows.shown);
  EXPECT_EQ(windows.main.Text(IDC_MAIN_GAIN_VALUE), "50 %");
}

TEST_F(Pages, InDeveloperModeTheStripAddsItsHeight) {
  SetStartupOptions(StartupOptions{false, true});
  FakeWindows windows;
  windows.panel = &panel;
  BuildPages(panel, windows);
  EXPECT_EQ(windows.created, (std::vector<int>{157, 183}));
  EXPECT_EQ(windows.placed, (std::vector<std::pair<int, int>>{{0, 0}, {0, 382}}));
  EXPECT_EQ(windows.frameSize, std::make_pair(966, 382 + 102));
  EXPECT_EQ(windows.strip.Text(IDC_WINDOW_VALUE), "1.0 s");
  EXPECT_EQ(panel.strip, windows.strip.Window());
}

TEST_F(Pages, LongCaptionIsCutNotOverrun) {
  FakeWindows windows;
  windows.panel = &panel;
  windows.caption = std::string(300, 'K');
  windows.failMain = true;  // and a main page that could not be made
  BuildPages(panel, windows);
  EXPECT_EQ(windows.title.size(), kFrameTitleSize - 1);
  EXPECT_EQ(windows.frameSize, std::make_pair(0, 0));
}

// ---- the program's start and stop, in their order

class FakeHost : public ProgramHost {
 public:
  ControlPanel* panel = nullptr;
  std::string folder;
  bool frameFails = false;
  bool inputFails = false;
  FakeWindows windows;
  int frame = 0;
  // What stood when the frame was made: the runtime, config.ini and
  // GameProfiles.ini read, the tick's duties, the status hold.
  std::vector<bool> atFrame;

  void WorkingDirectory(char* out, size_t size) override { std::snprintf(out, size, "%s/", folder.c_str()); }
  void* CreateFrame() override {
    atFrame = {ExecStarted(), panel->link.wheelPort == 7, panel->profiles.list.Count() == 2,
               ApplicationTickHooks().statusRefresh != nullptr, panel->link.statusHold};
    return frameFails ? nullptr : &frame;
  }
  bool InputStarted() override { return !inputFails; }
  PageWindows& Pages() override { return windows; }
};

class ProgramStart : public ExecEnv {
 protected:
  void SetUp() override {
    ExecEnv::SetUp();
    ASSERT_EQ(chdir(dir_.c_str()), 0);
    SetComPortDirectory(dir_.c_str());
    SetStartupOptions(StartupOptions{});
  }
  void TearDown() override {
    SetComPortDirectory(nullptr);
    ApplicationTickHooks() = TickHooks{};
    ExecEnv::TearDown();
  }
};

TEST_F(ProgramStart, PartsStartInOrderAndStopWritesBackWhatTheUserSet) {
  struct Case {
    const char* name;
    bool frameFails, inputFails;
    bool runs, saves;
    const char* startProfile;  // "-profile NAME" outranks GAME_PROFILE_ID
  };
  const Case cases[] = {
      {"normal", false, false, true, true, nullptr},
      {"no frame", true, false, false, false, nullptr},
      {"no controller input", false, true, false, true, nullptr},
      {"-profile default", false, false, true, true, "default"},
  };
  const std::string config = "[Config]\r\nDEVICE_COM_PORT=7\r\nGAME_PROFILE_ID=1\r\n";
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    WriteFile(Path("config.ini"), config);
    WriteFile(Path("GameProfiles.ini"),
              "[GameProfiles]\r\nPROFILE=Default,NoLife.exe,0,900,127,127,127,127,127,127,127,127,0,0,0,0,16\r\n"
              "PROFILE=Rally,rally.exe,0,540,127,127,127,127,127,127,127,127,0,0,0,0,16\r\n");
    FakeClock clock;
    StandinBoard board;
    FakeChannel port{clock, board};
    ControlPanel panel;
    panel.link.channel = &port;
    panel.link.clock = &clock;
    FakeHost host;
    host.panel = &panel;
    host.windows.panel = &panel;
    host.folder = dir_;
    host.frameFails = c.frameFails;
    host.inputFails = c.inputFails;
    host.startProfile = c.startProfile;
    ApplicationTickHooks() = TickHooks{};

    EXPECT_EQ(panel.Start(host), c.runs);
    EXPECT_EQ(host.atFrame, std::vector<bool>(5, true));
    EXPECT_EQ(host.windows.created, c.runs ? std::vector<int>{157} : std::vector<int>{});
    EXPECT_EQ(host.windows.holdWhenShown, c.runs) << "held until the pages exist";
    EXPECT_FALSE(panel.link.statusHold);
    EXPECT_EQ(panel.frameWindow, c.runs ? &host.frame : nullptr);
    EXPECT_EQ(port.IsOpen(), c.runs);

    panel.link[kEntryStatisticsWindow].value = 150;
    panel.link[kEntryMaxAngle].value = 720;  // a value the selected profile has not stored
    panel.Stop();
    EXPECT_EQ(ReadFile(Path("config.ini")).find("WINDOW_DURATION=150") != std::string::npos, c.saves);
    const std::string profiles = ReadFile(Path("GameProfiles.ini"));
    // Without pages no profile is selected, so none takes the page's values.
    const char* taker = c.startProfile ? "PROFILE=Default,NoLife.exe,0,720," : "PROFILE=Rally,rally.exe,0,720,";
    EXPECT_EQ(profiles.find(taker) != std::string::npos, c.runs) << profiles;
    EXPECT_EQ(panel.profiles.list.Count(), 0u);
    EXPECT_FALSE(ExecStarted());
    EXPECT_FALSE(port.IsOpen());
  }
}

// ---- the start's handshake, answered by the ticks

int gBoardReads = 0;
void CountBoardRead(void* profiles) { ++gBoardReads, static_cast<GameProfiles*>(profiles)->BoardConnected(); }

TEST_F(Pages, ABoardThatAnswersLateIsReadAndShownWithoutATickWaitingForIt) {
  panel.link.onBoardRead = CountBoardRead;
  board.SetParameter(17, 100);
  board.SetParameter(34, kWheelFlagInvert);
  port.replyDelayUs = 300000;
  SetUpMainPage(panel, page);
  port.replyDelayUs = 100;
  int ticks = 0;
  uint64_t longestUs = 0;
  for (; !page.IsChecked(IDC_INVERT) && ticks < 40; ++ticks) {
    const uint64_t before = clock.now += 33000;
    const bool waiting = panel.link.linkState < kWheelFound;
    panel.link.ContinueProbe();
    longestUs = std::max(longestUs, clock.now - before);
    if (waiting && panel.link.linkState < kWheelFound) {
      EXPECT_EQ(clock.now, before) << "a tick waited for the reply";
    }
  }
  EXPECT_GE(ticks, 10);
  EXPECT_LT(longestUs, 100000u) << "the read is spread over the ticks";
  EXPECT_EQ(page.Text(IDC_MAIN_GAIN_VALUE), "78 %");
  EXPECT_EQ(gBoardReads, 0) << "the profiles are told in the tick after the read...";
  panel.SaveForExit();  // ...or by an exit before it, before it stores the page's values
  EXPECT_EQ(gBoardReads, 1);
  EXPECT_FALSE(panel.profiles.CurrentProfile()->madeWithoutBoard);
  EXPECT_EQ(panel.profiles.CurrentProfile()->mainGain, 100) << "Default takes the board's values";
  RefreshAndTick(panel, clock);
  EXPECT_EQ(gBoardReads, 1);
}

TEST_F(Pages, WhatTheUserSetsBeforeTheBoardIsReadStands) {
  SetUpMainPage(panel, page);
  page.SetCheck(IDC_INVERT, true);
  PageCommand(panel, page, IDC_INVERT);
  panel.link.StartHandshake(7);
  page.SetSliderPos(IDC_MAIN_GAIN_SLIDER, 100);
  PageScroll(panel, page.Handle(IDC_MAIN_GAIN_SLIDER));
  EXPECT_EQ(board.Parameter(34) & kWheelFlagInvert, kWheelFlagInvert);
  EXPECT_TRUE(page.IsChecked(IDC_INVERT));
  EXPECT_EQ(board.Parameter(17), 100);
  EXPECT_EQ(page.sliders[IDC_MAIN_GAIN_SLIDER], 100);
}

TEST_F(Pages, AStartWithoutABoardLeavesTheRefreshProbingAndTheUpdateCheckAfterIt) {
  panel.settings.flags = Settings::kFlagAutoUpdate;
  board.SetSilent(true);
  SetUpMainPage(panel, page);
  panel.RefreshStatus();  // the first tick's, with the handshake still out
  EXPECT_FALSE(panel.updateStarted) << "the board's firmware may yet be known";
  TickHandshake();
  clock.now += 1001000;
  panel.RefreshStatus();
  EXPECT_TRUE(panel.updateStarted);
  EXPECT_EQ(port.opens.size(), 2u) << "the refresh probes again";
}

}  // namespace
