#include "input/directinput_backend_win32.h"

#define DIRECTINPUT_VERSION 0x0800
#include <dinput.h>

#include <cstdio>
#include <cstring>

namespace {

InputObjectKind KindOf(REFGUID type) {
  struct { const GUID* guid; InputObjectKind kind; } const kKinds[] = {
      {&GUID_XAxis, InputObjectKind::kXAxis},      {&GUID_YAxis, InputObjectKind::kYAxis},
      {&GUID_ZAxis, InputObjectKind::kZAxis},      {&GUID_RxAxis, InputObjectKind::kXRotation},
      {&GUID_RyAxis, InputObjectKind::kYRotation}, {&GUID_RzAxis, InputObjectKind::kZRotation},
      {&GUID_Slider, InputObjectKind::kSlider},    {&GUID_POV, InputObjectKind::kPov},
      {&GUID_Button, InputObjectKind::kButton},
  };
  for (const auto& k : kKinds) {
    if (IsEqualGUID(type, *k.guid)) return k.kind;
  }
  return InputObjectKind::kOther;
}

DeviceGuid FromGuid(const GUID& guid) {
  DeviceGuid out;
  static_assert(sizeof out == sizeof guid, "same field layout");
  std::memcpy(&out, &guid, sizeof out);
  return out;
}

GUID ToGuid(const DeviceGuid& guid) {
  GUID out;
  std::memcpy(&out, &guid, sizeof out);
  return out;
}

static_assert(sizeof(JoystickState) == sizeof(DIJOYSTATE2), "the extended joystick state");

class DirectInputDevice final : public GamingDevice {
 public:
  explicit DirectInputDevice(IDirectInputDevice8A* device) : device_(device) {}

  void Prepare(void* window) override {
    device_->SetDataFormat(&c_dfDIJoystick2);
    device_->SetCooperativeLevel(static_cast<HWND>(window), DISCL_BACKGROUND | DISCL_NONEXCLUSIVE);
  }

  int32_t EnumObjects(ObjectVisitor visit, void* context) override {
    Visit visitor{visit, context};
    return device_->EnumObjects(ObjectCallback, &visitor, DIDFT_ALL);
  }

  int32_t SetAxisRange(uint32_t objectId, int32_t minimum, int32_t maximum) override {
    DIPROPRANGE range{};
    range.diph.dwSize = sizeof range;
    range.diph.dwHeaderSize = sizeof range.diph;
    range.diph.dwObj = objectId;
    range.diph.dwHow = DIPH_BYID;
    range.lMin = minimum;
    range.lMax = maximum;
    return device_->SetProperty(DIPROP_RANGE, &range.diph);
  }

  int32_t InstanceGuid(DeviceGuid* out) override {
    DIDEVICEINSTANCEA info{};
    info.dwSize = sizeof info;
    const HRESULT result = device_->GetDeviceInfo(&info);
    if (SUCCEEDED(result)) *out = FromGuid(info.guidInstance);
    return result;
  }

  int32_t Poll() override { return device_->Poll(); }
  int32_t Acquire() override { return device_->Acquire(); }
  int32_t Unacquire() override { return device_->Unacquire(); }
  int32_t GetState(JoystickState* out) override { return device_->GetDeviceState(sizeof *out, out); }

  void Release() override {
    device_->Release();
    delete this;
  }

 private:
  struct Visit {
    ObjectVisitor visit;
    void* context;
  };

  static BOOL CALLBACK ObjectCallback(LPCDIDEVICEOBJECTINSTANCEA object, LPVOID data) {
    const Visit* visitor = static_cast<const Visit*>(data);
    const InputObject found{KindOf(object->guidType), (object->dwType & DIDFT_AXIS) != 0, object->dwType};
    return visitor->visit(found, visitor->context) ? DIENUM_CONTINUE : DIENUM_STOP;
  }

  IDirectInputDevice8A* device_;
};

class DirectInput final : public GamingInputBackend {
 public:
  explicit DirectInput(HINSTANCE instance) : instance_(instance) {}

  int32_t Start() override {
    if (input_ != nullptr) return DI_OK;
    return DirectInput8Create(instance_, DIRECTINPUT_VERSION, IID_IDirectInput8A,
                              reinterpret_cast<void**>(&input_), nullptr);
  }

  void Stop() override {
    if (input_ == nullptr) return;
    input_->Release();
    input_ = nullptr;
  }

  int32_t EnumDevices(DeviceVisitor visit, void* context) override {
    if (input_ == nullptr) return DIERR_NOTINITIALIZED;
    Visit visitor{visit, context};
    return input_->EnumDevices(DI8DEVCLASS_GAMECTRL, DeviceCallback, &visitor,
                               DIEDFL_ATTACHEDONLY | DIEDFL_FORCEFEEDBACK);
  }

  GamingDevice* CreateDevice(const DeviceGuid& instance) override {
    if (input_ == nullptr) return nullptr;
    IDirectInputDevice8A* device = nullptr;
    if (FAILED(input_->CreateDevice(ToGuid(instance), &device, nullptr)) || device == nullptr) return nullptr;
    return new DirectInputDevice(device);
  }

  int32_t ListPnpDeviceIds(DeviceIdVisitor visit, void* context) override {
    return ListPnpDeviceIdsWmi(visit, context);
  }

 private:
  struct Visit {
    DeviceVisitor visit;
    void* context;
  };

  static BOOL CALLBACK DeviceCallback(LPCDIDEVICEINSTANCEA device, LPVOID data) {
    const Visit* visitor = static_cast<const Visit*>(data);
    GamingDeviceInstance found{};
    found.instance = FromGuid(device->guidInstance);
    found.product = FromGuid(device->guidProduct);
    std::snprintf(found.productName, sizeof found.productName, "%s", device->tszProductName);
    return visitor->visit(found, visitor->context) ? DIENUM_CONTINUE : DIENUM_STOP;
  }

  HINSTANCE instance_;
  IDirectInput8A* input_ = nullptr;
};

}  // namespace

GamingInputBackend& DirectInputBackend(HINSTANCE instance) {
  static DirectInput backend(instance);
  return backend;
}
