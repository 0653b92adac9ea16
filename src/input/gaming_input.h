#pragma once
// Game-controller input: the attached force-feedback controllers in the
// gaming-device table, the one the user picked (activated: its objects found,
// its axes set to 0..65535), and its state read on every tick into the strip's
// "Wheel State" readout, the button mask, the axis snapshot and the picture on
// the main page. It reads only; it creates no force-feedback effect.
//
// Platform calls go through a GamingInputBackend; what is shown goes to a
// GamingInputView, which the pages implement. Single-threaded: everything runs
// on the user-interface thread.
#include <cstddef>
#include <cstdint>

#include "exec/deadline.h"
#include "input/device_guid.h"
#include "input/gaming_backend.h"
#include "input/wheel_state_picture.h"
#include "input/xinput_ids.h"

constexpr uint32_t kMaxGamingDevices = 16;
constexpr size_t kProductNameSize = 128;  // at most 127 characters are kept

struct GamingDeviceEntry {
  GamingDevice* device = nullptr;  // owned by the table
  DeviceGuid instance{};
  char productName[kProductNameSize] = "";
};

struct GamingDeviceTable {
  GamingDeviceEntry entries[kMaxGamingDevices];
  uint32_t count = 0;
  // The instance GUID of the device to use: from config.ini at start,
  // overwritten by every activation, saved at exit.
  DeviceGuid usedDevice{};
};

// The twelve objects the readout shows, by their bit in the InputObjectMask:
// six axes, two sliders, four POV hats.
enum InputObjectBit : int {
  kObjectX, kObjectY, kObjectZ, kObjectXRotation, kObjectYRotation, kObjectZRotation,
  kObjectSlider0, kObjectSlider1, kObjectPov0, kObjectPov1, kObjectPov2, kObjectPov3,
  kInputObjectCount
};
constexpr int kMaxSliders = 2;
constexpr int kMaxPovs = 4;

// Longest readout text ("-2147483648", "ffffffff") with its terminator.
constexpr size_t kReadoutTextSize = 16;

class GamingInputView {
 public:
  virtual ~GamingInputView() = default;
  // The strip's "Wheel State" pairs; nothing while there is no strip.
  virtual bool ShowsReadout() = 0;
  virtual void EnableInputObject(int object, bool enabled) = 0;
  virtual void ShowInputValue(int object, const char* text) = 0;
  // changed: the part of the picture's area that differs from the last one.
  virtual void ShowWheelState(const WheelStatePicture& picture, const PictureRect& changed) = 0;
  // List 1042: the table's product names in table order, item data = index,
  // item `selected` selected (-1: none).
  virtual void ShowGamingDevices(const GamingDeviceTable& table, int selected) = 0;
};

// Acquire calls at most per tick while the device reports lost input.
constexpr int kAcquireTriesPerTick = 3;
// Quiet time after the last device-change notice before the controllers are
// enumerated again (a plug-in sends several in a row).
constexpr uint64_t kRescanDelayUs = 500 * 1000;

class GamingInput {
 public:
  // maxAngle: the "Max Angle" setting, read for the pointer on every tick.
  explicit GamingInput(const int32_t& maxAngle) : maxAngle_(maxAngle) {}
  GamingInput(const GamingInput&) = delete;
  GamingInput& operator=(const GamingInput&) = delete;

  GamingInputBackend* backend = nullptr;  // null: no controller input at all
  GamingInputView* view = nullptr;
  LinkClock* clock = &SystemLinkClock();
  bool xinputFilter = false;  // start-up option "noxinput"

  GamingDeviceTable table;
  uint32_t objectMask = 0;  // InputObjectMask: bit per InputObjectBit
  uint32_t sliderCount = 0;
  uint32_t povCount = 0;
  uint32_t buttonMask = 0;    // buttons 0..31 of the last read
  int32_t axisSnapshot[6] = {};  // X, Y, Z, X/Y/Z rotation of the last read

  // Starts the platform's input, fills the table (leaving XInput controllers
  // out when the filter is on; their ids are taken here, once, for the
  // controllers that arrive later too) and activates the entry whose instance GUID is
  // the used-device GUID. Negative when the platform's input could not be
  // started or the controllers not enumerated.
  int32_t InitGamingInput(void* window);
  // Makes table entry `index` the active device: its objects into the mask,
  // its axes to 0..65535, its instance GUID into the used-device GUID.
  // 0, or the object enumeration's negative result (no device is active
  // then). An index not below the count is ignored (0).
  int32_t ActivateGamingDevice(uint32_t index);
  // Fills list 1042, selects the used device (else entry 0) and activates it.
  void FillDeviceList();
  // The twelve label/value pairs enabled by the mask.
  void UpdateInputObjectControls();
  // One tick's read of the active device; always 0.
  int ReadGamingInput();
  // The window became active: take the active device again.
  void Reacquire();
  // Devices came or went: enumerate again once they have settled (the next
  // RescanIfDue after kRescanDelayUs of quiet).
  void DevicesChanged();
  // The due enumeration: controllers not yet in the table are added (up to
  // 16), entries keep their place, the active device stays, and a device
  // that was lost and is attached again is opened anew.
  void RescanIfDue();
  // Releases every device and the platform's input (before the runtime goes).
  void Shutdown();

  // Table index of the active device, or -1.
  int ActiveIndex() const { return active_; }
  bool InputLost() const { return lost_; }

 private:
  struct EnumContext;
  static bool VisitDevice(const GamingDeviceInstance& device, void* context);
  static bool VisitObject(const InputObject& object, void* context);
  static void VisitPnpDeviceId(const char* deviceId, void* context);

  int32_t EnumerateDevices(EnumContext& context);
  void ShowReadout(const JoystickState& state);
  void ShowPicture();
  void RescanGamingDevices();
  int FindEntry(const DeviceGuid& instance) const;

  const int32_t& maxAngle_;
  void* window_ = nullptr;
  int active_ = -1;
  bool lost_ = false;  // the active device reported lost input on its last tick
  XInputIdList xinputIds_;  // the XInput filter's ids, taken at start
  bool rescanPending_ = false;
  uint64_t rescanDueUs_ = 0;
  // What the strip and the picture show now, so a tick sets only what changed.
  char shownText_[kInputObjectCount][kReadoutTextSize] = {};
  bool textShown_[kInputObjectCount] = {};
  WheelStateInputs shownPicture_{};
  bool pictureShown_ = false;
  WheelStatePicture picture_;
};
