// Game-controller input against the scripted backend: the table and its
// limit, the used-device choice, object masks, the XInput filter, the
// readout that sets only what changed, lost input, re-activation and
// devices that come and go; the picture's geometry.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "exec_env.h"
#include "input/gaming_input.h"
#include "input/wheel_state_picture.h"
#include "input/xinput_ids.h"
#include "input_fakes.h"

namespace {

class InputTest : public ExecEnv {
 protected:
  void SetUp() override {
    ExecEnv::SetUp();
    ASSERT_TRUE(Start(0, 0, 0));  // the XInput list comes from the pools
    input.backend = &backend;
    input.view = &view;
    input.clock = &clock;
  }
  void TearDown() override {
    input.Shutdown();
    EXPECT_EQ(backend.liveDevices, 0) << "every device released";
    ExecEnv::TearDown();
  }
  // Start-up as the program runs it: the frame starts the input, the main
  // page fills list 1042.
  void StartUp() {
    ASSERT_EQ(input.InitGamingInput(nullptr), kInputOk);
    input.FillDeviceList();
  }
  void Tick(int n = 1) {
    for (int i = 0; i < n; ++i) {
      clock.now += 33000;
      input.RescanIfDue();
      input.ReadGamingInput();
    }
  }

  int32_t maxAngle = 900;
  FakeClock clock;
  FakeGamingBackend backend;
  RecordingInputView view;
  GamingInput input{maxAngle};
};

TEST_F(InputTest, SixteenOfSeventeenAreListedInOrderAndTheSeventeenthIsLetGo) {
  for (uint32_t n = 1; n <= 17; ++n) backend.Add(n, "Wheel " + std::to_string(n));
  backend.Add(18, std::string(200, 'N'));
  StartUp();
  ASSERT_EQ(input.table.count, 16u);
  ASSERT_EQ(view.listed.size(), 16u);
  for (int i = 0; i < 16; ++i) EXPECT_EQ(view.listed[i], "Wheel " + std::to_string(i + 1));
  EXPECT_EQ(backend.Count("CreateDevice"), 18) << "the devices beyond the table are opened";
  EXPECT_EQ(backend.liveDevices, 16) << "and released again";
  EXPECT_EQ(view.selected, 0);
  EXPECT_EQ(input.ActiveIndex(), 0);
}

TEST_F(InputTest, LongProductNamesAreCutAt127Characters) {
  backend.Add(1, std::string(300, 'L'));
  StartUp();
  EXPECT_EQ(std::string(input.table.entries[0].productName), std::string(127, 'L'));
}

TEST_F(InputTest, TheUsedDeviceIsChosenElseTheFirst) {
  struct Case {
    uint32_t used;    // 0: a GUID no controller has
    int active;       // after start-up, before the list
    int selected;     // the list's choice, then active
  };
  const Case cases[] = {{2, 1, 1}, {3, 2, 2}, {1, 0, 0}, {0, -1, 0}};
  for (const Case& c : cases) {
    FakeGamingBackend devices;
    devices.Add(1, "A");
    devices.Add(2, "B");
    devices.Add(3, "C");
    RecordingInputView shown;
    GamingInput in{maxAngle};
    in.backend = &devices;
    in.view = &shown;
    in.table.usedDevice = c.used ? TestGuid(c.used) : TestGuid(99);
    ASSERT_EQ(in.InitGamingInput(nullptr), kInputOk);
    EXPECT_EQ(in.ActiveIndex(), c.active) << c.used;
    in.FillDeviceList();
    EXPECT_EQ(shown.selected, c.selected) << c.used;
    EXPECT_EQ(in.ActiveIndex(), c.selected) << c.used;
    EXPECT_TRUE(in.table.usedDevice == TestGuid(static_cast<uint32_t>(c.selected + 1))) << c.used;
    in.Shutdown();
  }
}

TEST_F(InputTest, NoControllerStartsCleanAndShowsNothing) {
  StartUp();
  EXPECT_EQ(input.table.count, 0u);
  EXPECT_EQ(view.listed.size(), 0u);
  Tick(3);
  EXPECT_EQ(view.valueSets, 0);
  EXPECT_EQ(view.pictures, 0);
}

TEST_F(InputTest, AFailingStartOrEnumerationIsReported) {
  backend.startResult = kInputFailed;
  EXPECT_EQ(input.InitGamingInput(nullptr), kInputFailed);
  backend.startResult = kInputOk;
  backend.enumResult = kInputNotAcquired;
  EXPECT_EQ(input.InitGamingInput(nullptr), kInputNotAcquired);
}

// The remembered controller failing its activation at start is no reason to
// end the program: DirectInput works, the others are listed, the user picks.
TEST_F(InputTest, ARememberedControllerThatCannotBeActivatedIsNoStartFailure) {
  backend.Add(1, "Wheel").failObjects = true;
  backend.Add(2, "Pad");
  input.table.usedDevice = TestGuid(1);
  EXPECT_EQ(input.InitGamingInput(nullptr), kInputOk);
  EXPECT_EQ(input.table.count, 2u);
  EXPECT_EQ(input.objectMask, 0u);
  input.ActivateGamingDevice(1);
  EXPECT_NE(input.objectMask, 0u) << "the other one works when picked";
}

TEST_F(InputTest, ObjectMasks) {
  struct Case {
    std::vector<InputObject> objects;
    uint32_t failRangeOf;
    uint32_t mask;
    uint32_t sliders, povs;
  };
  const Case cases[] = {
      {WheelObjects(6, 2, 1, 32), 0xFFFFFFFFu, 0x1FF, 2, 1},
      {WheelObjects(6, 3, 5, 0), 0xFFFFFFFFu, 0xFFF, 3, 5},  // only bits 6-7 and 8-11
      {WheelObjects(1, 3, 5, 0), 0xFFFFFFFFu, 0xFC1, 3, 5},
      {WheelObjects(3, 0, 0, 8), 0xFFFFFFFFu, 0x007, 0, 0},
      // A failed range setting ends the enumeration; what was found stays.
      {WheelObjects(6, 2, 1, 32), 0x102, 0x003, 0, 0},
      {WheelObjects(6, 2, 1, 32), 0x106, 0x03F, 0, 0},
  };
  for (const Case& c : cases) {
    FakeGamingBackend devices;
    devices.Add(1, "W", c.objects).failRangeOf = c.failRangeOf;
    RecordingInputView shown;
    GamingInput in{maxAngle};
    in.backend = &devices;
    in.view = &shown;
    ASSERT_EQ(in.InitGamingInput(nullptr), kInputOk);
    in.FillDeviceList();
    EXPECT_EQ(in.objectMask, c.mask) << std::hex << c.mask;
    EXPECT_EQ(in.sliderCount, c.sliders);
    EXPECT_EQ(in.povCount, c.povs);
    EXPECT_EQ(shown.EnabledMask(), c.mask) << "label and value enabled by the mask";
    EXPECT_EQ(shown.enabled.size(), 12u);
    in.Shutdown();
  }
}

TEST_F(InputTest, DeviceIdsOfXInputInterfaces) {
  struct Case {
    const char* id;
    bool xinput;
    uint32_t value;
  };
  const Case cases[] = {
      {"HID\\VID_045E&PID_028E&IG_00\\3&1234&0&0000", true, 0x028E045E},
      {"HID\\VID_046D&IG_01\\x", true, 0x0000046D},  // no "PID_": product id 0
      {"HID\\IG_00&PID_0B12", true, 0x0B120000},
      {"HID\\VID_zz12&PID_1&IG_00", true, 0x00010000},
      {"HID\\VID_12345&PID_ABCDE&IG_00", true, 0xABCD1234},
      {"USB\\VID_2341&PID_8036\\5&1", false, 0},
      {"", false, 0},
  };
  for (const Case& c : cases) {
    uint32_t id = 0;
    EXPECT_EQ(XInputIdFromDeviceId(c.id, &id), c.xinput) << c.id;
    if (c.xinput) {
      EXPECT_EQ(id, c.value) << c.id;
    }
  }
  uint32_t id = 0;
  EXPECT_FALSE(XInputIdFromDeviceId(nullptr, &id));
}

TEST_F(InputTest, TheXInputFilterDropsAMatchingControllerOnlyWhenOn) {
  struct Case {
    bool filter;
    std::vector<std::string> ids;
    std::vector<std::string> listed;
  };
  const Case cases[] = {
      {true, {"HID\\VID_045E&PID_028E&IG_00\\1", "USB\\ROOT_HUB"}, {"Wheel"}},
      {false, {"HID\\VID_045E&PID_028E&IG_00\\1"}, {"Pad", "Wheel"}},
      {true, {"HID\\VID_045E&PID_028E\\1"}, {"Pad", "Wheel"}},  // no "IG_": not XInput
      {true, {}, {"Pad", "Wheel"}},                             // WMI gave nothing
  };
  for (const Case& c : cases) {
    FakeGamingBackend devices;
    devices.Add(1, "Pad").product.data1 = 0x028E045Eu;
    devices.Add(2, "Wheel");
    devices.pnpIds = c.ids;
    RecordingInputView shown;
    GamingInput in{maxAngle};
    in.backend = &devices;
    in.view = &shown;
    in.xinputFilter = c.filter;
    ASSERT_EQ(in.InitGamingInput(nullptr), kInputOk);
    in.FillDeviceList();
    EXPECT_EQ(shown.listed, c.listed);
    EXPECT_EQ(devices.pnpQueries, c.filter ? 1 : 0);
    // A pad plugged in later is filtered with the ids of the start: WMI is
    // never asked while the window shows.
    devices.Add(3, "Pad 2").product.data1 = 0x028E045Eu;
    in.clock = &clock;
    in.DevicesChanged();
    clock.now += kRescanDelayUs;
    in.RescanIfDue();
    EXPECT_EQ(devices.pnpQueries, c.filter ? 1 : 0);
    EXPECT_EQ(in.table.count, c.listed.size() == 1 ? 1u : 3u);
    in.Shutdown();
  }
}

TEST_F(InputTest, TheReadoutSetsOnlyWhatChanged) {
  FakeController& wheel = backend.Add(1, "W");
  wheel.state.axes[0] = 32767;
  wheel.state.axes[1] = -5;
  wheel.state.sliders[1] = 70000;
  wheel.state.povs[1] = 9000;
  wheel.state.buttons[0] = 0x80;
  wheel.state.buttons[31] = 0x81;
  wheel.state.buttons[32] = 0x80;  // button 33: not shown
  wheel.state.buttons[5] = 0x7F;   // high bit clear: not pressed
  StartUp();
  Tick();
  EXPECT_EQ(view.valueSets, 12);
  // Pov 0 is a centred hat.
  for (auto [object, text] : {std::pair{kObjectX, "32767"}, {kObjectY, "-5"}, {kObjectZ, "0"},
                              {kObjectSlider1, "70000"}, {kObjectPov0, "ffffffff"}, {kObjectPov1, "2328"}}) {
    EXPECT_EQ(view.values[object], text) << object;
  }
  EXPECT_EQ(input.buttonMask, 0x80000001u);
  EXPECT_EQ(input.axisSnapshot[0], 32767);
  EXPECT_EQ(input.axisSnapshot[1], -5);
  EXPECT_EQ(view.pictures, 1);
  EXPECT_EQ(view.lastChanged.right, kWheelStatePictureArea.right) << "the first picture is shown whole";

  Tick(5);
  EXPECT_EQ(view.valueSets, 12) << "the same state sets nothing again";
  EXPECT_EQ(view.pictures, 1) << "nor draws the picture again";

  backend.Find(TestGuid(1))->state.axes[2] = 100;  // a bar of 0 pixels still
  Tick();
  EXPECT_EQ(view.valueSets, 13);
  EXPECT_EQ(view.values[kObjectZ], "100");
  EXPECT_EQ(view.pictures, 1) << "the picture did not change";
  backend.Find(TestGuid(1))->state.axes[2] = 30000;
  Tick();
  EXPECT_EQ(view.pictures, 2) << "Z is a pedal";
  EXPECT_EQ(view.lastChanged.left, kPedalArea.left);
  EXPECT_EQ(view.lastChanged.right, kPedalArea.right);

  backend.Find(TestGuid(1))->state.axes[5] = 7;  // Z rotation: not in the picture
  Tick();
  EXPECT_EQ(view.pictures, 2);

  view.strip = false;  // developer mode off: no readout
  backend.Find(TestGuid(1))->state.axes[1] = 1;
  Tick();
  EXPECT_EQ(view.valueSets, 15);
  EXPECT_EQ(input.axisSnapshot[1], 1);
}

TEST_F(InputTest, LostInputIsBoundedPerTickAndComesBack) {
  backend.Add(1, "W").state.axes[0] = 100;
  StartUp();
  Tick();
  ASSERT_EQ(view.values[kObjectX], "100");

  backend.Find(TestGuid(1))->lost = true;
  backend.calls.clear();
  Tick();
  EXPECT_EQ(backend.Count("Acquire"), kAcquireTriesPerTick) << "a few tries, not a loop";
  EXPECT_TRUE(input.InputLost());
  for (int i = 0; i < 100; ++i) {
    backend.calls.clear();
    Tick();
    EXPECT_EQ(backend.calls.size(), 1u) << "one acquire per tick while lost";
  }
  EXPECT_EQ(view.values[kObjectX], "100") << "the readout keeps its last values";

  FakeController& back = *backend.Find(TestGuid(1));
  back.lost = false;
  back.state.axes[0] = 200;
  Tick(2);
  EXPECT_FALSE(input.InputLost());
  EXPECT_EQ(view.values[kObjectX], "200");
}

TEST_F(InputTest, PickingADeviceAgainFindsAllItsObjects) {
  backend.Add(1, "A");
  backend.Add(2, "B", WheelObjects(2, 0, 0, 4));
  StartUp();
  Tick(2);  // A is acquired now
  EXPECT_EQ(input.objectMask, 0x1FFu);
  // The list's choice at start-up activates A once more while it is held.
  input.FillDeviceList();
  EXPECT_EQ(input.objectMask, 0x1FFu);
  ASSERT_EQ(input.ActivateGamingDevice(1), kInputOk);
  Tick(2);
  EXPECT_EQ(input.objectMask, 0x003u);
  ASSERT_EQ(input.ActivateGamingDevice(0), kInputOk);
  EXPECT_EQ(input.objectMask, 0x1FFu) << "no range setting refused";
  EXPECT_EQ(view.EnabledMask(), 0x1FFu);
  EXPECT_EQ(backend.Count("SetAxisRange A -> " + std::to_string(kInputAcquired)), 0);
  EXPECT_TRUE(input.table.usedDevice == TestGuid(1));
  EXPECT_EQ(input.ActivateGamingDevice(2), kInputOk) << "an index beyond the table is ignored";
  EXPECT_EQ(input.ActiveIndex(), 0);
}

TEST_F(InputTest, ControllersThatArriveAreAddedAndTheActiveOneStays) {
  backend.Add(1, "A");
  backend.Add(2, "B");
  input.table.usedDevice = TestGuid(2);
  StartUp();
  ASSERT_EQ(input.ActiveIndex(), 1);

  backend.Add(3, "C");
  backend.controllers[0].attached = false;  // A went away meanwhile
  input.DevicesChanged();
  Tick();  // too early: the notices may go on
  EXPECT_EQ(input.table.count, 2u);
  clock.now += kRescanDelayUs;
  Tick();
  EXPECT_EQ(view.listed, (std::vector<std::string>{"A", "B", "C"})) << "entries keep their place";
  EXPECT_EQ(view.selected, 1);
  EXPECT_EQ(input.ActiveIndex(), 1);

  for (uint32_t n = 4; n <= 20; ++n) backend.Add(n, "X" + std::to_string(n));
  input.DevicesChanged();
  clock.now += kRescanDelayUs;
  Tick();
  EXPECT_EQ(input.table.count, 16u);
  EXPECT_EQ(backend.liveDevices, 16);
}

TEST_F(InputTest, TheFirstControllerToArriveIsRead) {
  StartUp();
  backend.Add(1, "Late").state.axes[0] = 42;
  input.DevicesChanged();
  clock.now += kRescanDelayUs;
  Tick(3);
  EXPECT_EQ(view.listed, std::vector<std::string>{"Late"});
  EXPECT_EQ(input.ActiveIndex(), 0);
  EXPECT_EQ(view.values[kObjectX], "42");
}

TEST_F(InputTest, AnUnpluggedControllerIsReadAgainWhenItIsBack) {
  backend.Add(1, "A").state.axes[0] = 1;
  StartUp();
  Tick();
  FakeController& a = *backend.Find(TestGuid(1));
  a.attached = false;
  Tick(3);
  ASSERT_TRUE(input.InputLost());
  input.DevicesChanged();  // unplugged
  clock.now += kRescanDelayUs;
  Tick();
  a.attached = true;
  a.state.axes[0] = 2;
  input.DevicesChanged();  // plugged in again
  clock.now += kRescanDelayUs;
  backend.calls.clear();
  Tick(2);
  EXPECT_EQ(backend.Count("CreateDevice A"), 1) << "opened anew";
  EXPECT_EQ(view.values[kObjectX], "2");
  EXPECT_EQ(input.table.count, 1u);
}

// ---- the picture

std::vector<int> Box(const PictureRect& r) { return {r.left, r.top, r.right, r.bottom}; }

TEST(WheelStatePictureTest, PointerAngleAndPedalHeights) {
  struct Angle {
    int32_t x, maxAngle, angle;
  };
  const Angle angles[] = {{32767, 900, 0}, {0, 900, -449}, {65535, 900, 450}, {32768, 900, 0},
                          {0, 1080, -539}, {65535, 65535, 32768}, {-100000, 900, -1823}};
  for (const Angle& a : angles) EXPECT_EQ(WheelPointerAngle(a.x, a.maxAngle), a.angle) << a.x << " " << a.maxAngle;

  struct Pedal {
    int32_t value, height;
  };
  const Pedal pedals[] = {{65535, 38}, {65534, 37}, {0, 0}, {32768, 19}, {1725, 1}, {-5, 0}, {200000, 38}};
  for (const Pedal& p : pedals) EXPECT_EQ(PedalBarHeight(p.value), p.height) << p.value;
}

TEST(WheelStatePictureTest, ShapesAtTheCentre) {
  const int32_t axes[6] = {32767, 65535, 65534, 0, 0, 0};
  WheelStatePicture picture;
  DrawWheelStatePicture(WheelStateFrom(axes, 900, (1u << 0) | (1u << 31)), &picture);

  ASSERT_GT(picture.count, 0);
  const PictureShape& pointer = picture.shapes[0];
  ASSERT_EQ(pointer.kind, ShapeKind::kPolygon);
  EXPECT_EQ(pointer.penWidth, 2);
  EXPECT_EQ(pointer.colour, kPictureRed);
  // Turned 90 degrees about (10, 15); cos 90 is not quite 0 in single
  // precision, so one corner truncates to 146.
  const int expected[3][2] = {{45, 146}, {15, 145}, {30, 175}};
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(pointer.points[i].x, expected[i][0]) << i;
    EXPECT_EQ(pointer.points[i].y, expected[i][1]) << i;
  }

  std::vector<PictureRect> frames, fills;
  std::vector<std::string> texts;
  std::vector<uint32_t> textColours;
  for (int i = 1; i < picture.count; ++i) {
    const PictureShape& s = picture.shapes[i];
    if (s.kind == ShapeKind::kFrame) frames.push_back(s.rect);
    if (s.kind == ShapeKind::kFill) fills.push_back(s.rect);
    if (s.kind == ShapeKind::kText) {
      texts.push_back(s.text);
      textColours.push_back(s.colour);
      // Every picture shape stays inside the area the renderer copies.
      EXPECT_GE(s.rect.left, kWheelStatePictureArea.left);
    }
  }
  ASSERT_EQ(frames.size(), 35u);
  EXPECT_EQ(frames[0].left, 60);
  EXPECT_EQ((std::vector<int>{frames[2].left, frames[2].bottom}), (std::vector<int>{100, 180}));
  EXPECT_EQ(Box(frames[3]), (std::vector<int>{120, 140, 140, 158}));      // button 1
  EXPECT_EQ(Box(frames[3 + 9]), (std::vector<int>{145, 163, 165, 181}));  // button 10: second row, second column
  EXPECT_EQ(Box(frames[34]), (std::vector<int>{295, 209, 315, 227}));     // button 32
  ASSERT_EQ(texts.size(), 32u);
  EXPECT_EQ(texts[0], "1");
  EXPECT_EQ(texts[31], "32");
  EXPECT_EQ(textColours[0], kPictureRed);
  EXPECT_EQ(textColours[1], kPictureWhite);
  EXPECT_EQ(textColours[31], kPictureRed);

  // Two pressed buttons, then the bars of Y (38 pixels) and Z (37); the
  // released third pedal draws no bar.
  ASSERT_EQ(fills.size(), 4u);
  EXPECT_EQ(Box(fills[0]), (std::vector<int>{121, 141, 139, 157}));
  EXPECT_EQ(Box(fills[1]), (std::vector<int>{121 + 7 * 25, 141 + 3 * 23, 139 + 7 * 25, 157 + 3 * 23}));
  EXPECT_EQ((std::vector<int>{fills[2].left, fills[2].top, fills[2].bottom}), (std::vector<int>{61, 180 - 38, 179}));
  EXPECT_EQ((std::vector<int>{fills[3].left, fills[3].top}), (std::vector<int>{81, 180 - 37}));
}

TEST(WheelStatePictureTest, ThePointerTurnsAndStaysInItsArea) {
  for (int32_t x = 0; x <= 65535; x += 257) {
    const int32_t axes[6] = {x, 0, 0, 0, 0, 0};
    WheelStatePicture picture;
    DrawWheelStatePicture(WheelStateFrom(axes, 900, 0), &picture);
    for (const PicturePoint& p : picture.shapes[0].points) {
      // One pixel of the 2-pixel outline lies outside the points.
      EXPECT_GE(p.x - 1, kWheelStatePictureArea.left) << x;
      EXPECT_GE(p.y - 1, kWheelStatePictureArea.top) << x;
      EXPECT_LT(p.y + 1, kWheelStatePictureArea.bottom) << x;
    }
  }
  // X = 0 with 900: -449 degrees, a turn of -359: the tip points right.
  const int32_t axes[6] = {0, 0, 0, 0, 0, 0};
  WheelStatePicture picture;
  DrawWheelStatePicture(WheelStateFrom(axes, 900, 0), &picture);
  EXPECT_EQ(picture.shapes[0].points[2].x, 49);
  EXPECT_EQ(picture.shapes[0].points[2].y, 155);
}

TEST(WheelStatePictureTest, OnlyThePartsThatChangedAreRepainted) {
  const WheelStateInputs base{0, {1, 2, 3}, 0x5};
  struct Case {
    WheelStateInputs after;
    PictureRect area;
  };
  const PictureRect kNone{0, 0, 0, 0};
  const Case cases[] = {
      {base, kNone},
      {WheelStateInputs{7, {1, 2, 3}, 0x5}, kPointerArea},
      {WheelStateInputs{0, {1, 2, 4}, 0x5}, kPedalArea},
      {WheelStateInputs{0, {1, 2, 3}, 0x4}, kButtonArea},
      {WheelStateInputs{7, {1, 2, 3}, 0x4}, PictureRect{9, 134, 316, 229}},
      {WheelStateInputs{0, {9, 2, 3}, 0x4}, PictureRect{60, 140, 316, 229}},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(Box(ChangedPictureArea(base, c.after)), Box(c.area));
  }
}

}  // namespace
