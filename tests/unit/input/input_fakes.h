#pragma once
// A scripted game-controller backend: controllers with their objects and
// states, plugged and unplugged by the test, behaving like DirectInput where
// the program depends on it (an acquired device refuses range settings, an
// unacquired one gives no state, an unplugged one reports lost input). Every
// call is recorded; a view records what the pages would show.
#include <cstdio>
#include <map>
#include <string>
#include <vector>

#include "input/gaming_input.h"

inline DeviceGuid TestGuid(uint32_t n) { return DeviceGuid{0x7E4A0000u + n, 1, 2, {3, 4, 5, 6, 7, 8, 9, static_cast<uint8_t>(n)}}; }

struct FakeController {
  DeviceGuid instance{};
  DeviceGuid product{};
  std::string name;
  std::vector<InputObject> objects;
  JoystickState state{};
  bool attached = true;
  bool lost = false;
  uint32_t failRangeOf = 0xFFFFFFFFu;  // object id whose range setting fails
  bool failObjects = false;            // its object enumeration fails
  int32_t acquireFailure = kInputLost;  // what acquire answers while it is away
};

// Objects of a wheel: the given axes, sliders, POV hats and buttons.
inline std::vector<InputObject> WheelObjects(int axes = 6, int sliders = 2, int povs = 1, int buttons = 32) {
  std::vector<InputObject> objects;
  const InputObjectKind kAxes[] = {InputObjectKind::kXAxis, InputObjectKind::kYAxis, InputObjectKind::kZAxis,
                                   InputObjectKind::kXRotation, InputObjectKind::kYRotation,
                                   InputObjectKind::kZRotation};
  uint32_t id = 0x100;
  for (int i = 0; i < axes; ++i) objects.push_back({kAxes[i], true, id++});
  for (int i = 0; i < sliders; ++i) objects.push_back({InputObjectKind::kSlider, true, id++});
  for (int i = 0; i < povs; ++i) objects.push_back({InputObjectKind::kPov, false, id++});
  for (int i = 0; i < buttons; ++i) objects.push_back({InputObjectKind::kButton, false, id++});
  return objects;
}

class FakeGamingBackend;

class FakeGamingDevice final : public GamingDevice {
 public:
  FakeGamingDevice(FakeGamingBackend& backend, const DeviceGuid& instance) : backend_(backend), instance_(instance) {}

  void Prepare(void* window) override;
  int32_t EnumObjects(ObjectVisitor visit, void* context) override;
  int32_t SetAxisRange(uint32_t objectId, int32_t minimum, int32_t maximum) override;
  int32_t InstanceGuid(DeviceGuid* out) override;
  int32_t Poll() override;
  int32_t Acquire() override;
  int32_t Unacquire() override;
  int32_t GetState(JoystickState* out) override;
  void Release() override;

  bool acquired = false;

 private:
  FakeController* Controller();
  int32_t Note(const char* call, int32_t result);

  FakeGamingBackend& backend_;
  DeviceGuid instance_;
};

class FakeGamingBackend : public GamingInputBackend {
 public:
  std::vector<FakeController> controllers;
  std::vector<std::string> pnpIds;  // what WMI would list
  int32_t startResult = kInputOk;
  int32_t enumResult = kInputOk;
  std::vector<std::string> calls;  // "Acquire 3 -> 0", ...
  int liveDevices = 0;
  int pnpQueries = 0;

  FakeController& Add(uint32_t n, const std::string& name, std::vector<InputObject> objects = WheelObjects()) {
    FakeController c;
    c.instance = TestGuid(n);
    c.product = DeviceGuid{0x80362341u, 0, 0, {0, 0, 'P', 'I', 'D', 'V', 'I', 'D'}};
    c.name = name;
    c.objects = std::move(objects);
    for (uint32_t& pov : c.state.povs) pov = 0xFFFFFFFFu;
    controllers.push_back(c);
    return controllers.back();
  }
  FakeController* Find(const DeviceGuid& instance) {
    for (FakeController& c : controllers) {
      if (c.instance == instance) return &c;
    }
    return nullptr;
  }
  int Count(const std::string& prefix) const {
    int n = 0;
    for (const std::string& call : calls) n += call.compare(0, prefix.size(), prefix) == 0;
    return n;
  }

  int32_t Start() override {
    calls.push_back("Start");
    return startResult;
  }
  void Stop() override { calls.push_back("Stop"); }
  int32_t EnumDevices(DeviceVisitor visit, void* context) override {
    calls.push_back("EnumDevices");
    if (InputFailed(enumResult)) return enumResult;
    for (const FakeController& c : controllers) {
      if (!c.attached) continue;
      GamingDeviceInstance found{};
      found.instance = c.instance;
      found.product = c.product;
      std::snprintf(found.productName, sizeof found.productName, "%s", c.name.c_str());
      if (!visit(found, context)) break;
    }
    return kInputOk;
  }
  GamingDevice* CreateDevice(const DeviceGuid& instance) override {
    FakeController* c = Find(instance);
    calls.push_back("CreateDevice " + (c ? c->name : std::string("?")));
    if (c == nullptr || !c->attached) return nullptr;
    ++liveDevices;
    return new FakeGamingDevice(*this, instance);
  }
  int32_t ListPnpDeviceIds(DeviceIdVisitor visit, void* context) override {
    ++pnpQueries;
    for (const std::string& id : pnpIds) visit(id.c_str(), context);
    return kInputOk;
  }
};

inline FakeController* FakeGamingDevice::Controller() { return backend_.Find(instance_); }

inline int32_t FakeGamingDevice::Note(const char* call, int32_t result) {
  FakeController* c = Controller();
  backend_.calls.push_back(std::string(call) + " " + (c ? c->name : "?") + " -> " + std::to_string(result));
  return result;
}

inline void FakeGamingDevice::Prepare(void*) { Note("Prepare", kInputOk); }

inline int32_t FakeGamingDevice::EnumObjects(ObjectVisitor visit, void* context) {
  FakeController* c = Controller();
  if (c == nullptr || c->failObjects) return Note("EnumObjects", kInputFailed);
  for (const InputObject& object : c->objects) {
    if (!visit(object, context)) break;
  }
  return Note("EnumObjects", kInputOk);
}

inline int32_t FakeGamingDevice::SetAxisRange(uint32_t objectId, int32_t minimum, int32_t maximum) {
  FakeController* c = Controller();
  if (acquired) return Note("SetAxisRange", kInputAcquired);
  const bool ok = c != nullptr && objectId != c->failRangeOf && minimum == 0 && maximum == 65535;
  return Note("SetAxisRange", ok ? kInputOk : kInputFailed);
}

inline int32_t FakeGamingDevice::InstanceGuid(DeviceGuid* out) {
  *out = instance_;
  return Note("InstanceGuid", kInputOk);
}

inline int32_t FakeGamingDevice::Poll() {
  FakeController* c = Controller();
  if (c == nullptr || !c->attached || c->lost) {
    acquired = false;
    return Note("Poll", kInputLost);
  }
  return Note("Poll", acquired ? kInputNoEffect : kInputNotAcquired);
}

inline int32_t FakeGamingDevice::Acquire() {
  FakeController* c = Controller();
  if (c == nullptr || !c->attached || c->lost) return Note("Acquire", c != nullptr ? c->acquireFailure : kInputLost);
  const int32_t result = acquired ? kInputNoEffect : kInputOk;
  acquired = true;
  return Note("Acquire", result);
}

inline int32_t FakeGamingDevice::Unacquire() {
  const int32_t result = acquired ? kInputOk : kInputNoEffect;
  acquired = false;
  return Note("Unacquire", result);
}

inline int32_t FakeGamingDevice::GetState(JoystickState* out) {
  FakeController* c = Controller();
  if (c == nullptr || c->lost) return Note("GetState", kInputLost);
  if (!acquired) return Note("GetState", kInputNotAcquired);
  *out = c->state;
  return Note("GetState", kInputOk);
}

inline void FakeGamingDevice::Release() {
  Note("Release", kInputOk);
  --backend_.liveDevices;
  delete this;
}

// What the pages would show.
class RecordingInputView : public GamingInputView {
 public:
  bool strip = true;
  std::map<int, bool> enabled;
  std::map<int, std::string> values;
  int valueSets = 0;
  int pictures = 0;
  WheelStatePicture lastPicture;
  PictureRect lastChanged{};
  std::vector<std::string> listed;
  int selected = -2;
  int listFills = 0;

  bool ShowsReadout() override { return strip; }
  void EnableInputObject(int object, bool on) override { enabled[object] = on; }
  void ShowInputValue(int object, const char* text) override {
    values[object] = text;
    ++valueSets;
  }
  void ShowWheelState(const WheelStatePicture& picture, const PictureRect& changed) override {
    lastPicture = picture;
    lastChanged = changed;
    ++pictures;
  }
  void ShowGamingDevices(const GamingDeviceTable& table, int selectedIndex) override {
    listed.clear();
    for (uint32_t i = 0; i < table.count; ++i) listed.push_back(table.entries[i].productName);
    selected = selectedIndex;
    ++listFills;
  }
  uint32_t EnabledMask() const {
    uint32_t mask = 0;
    for (const auto& e : enabled) mask |= e.second ? 1u << e.first : 0u;
    return mask;
  }
};
