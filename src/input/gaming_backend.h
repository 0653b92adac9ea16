#pragma once
// The seam under the game-controller input: what the program asks of the
// platform's game-controller interface. The product's backend is DirectInput 8
// (directinput_backend_win32.h) with a WMI query for the XInput filter; native
// tests script a fake (tests/unit/input/input_fakes.h). Results are the platform's:
// negative is failure.
#include <cstddef>
#include <cstdint>

#include "input/device_guid.h"

// Results with DirectInput's values; the portable logic needs to tell these apart.
constexpr int32_t kInputOk = 0;
constexpr int32_t kInputNoEffect = 1;                             // S_FALSE: nothing to do
constexpr int32_t kInputLost = static_cast<int32_t>(0x8007001Eu);  // DIERR_INPUTLOST
constexpr int32_t kInputNotAcquired = static_cast<int32_t>(0x8007000Cu);  // DIERR_NOTACQUIRED
constexpr int32_t kInputAcquired = static_cast<int32_t>(0x800700AAu);     // DIERR_ACQUIRED
constexpr int32_t kInputFailed = static_cast<int32_t>(0x80004005u);       // E_FAIL
inline bool InputFailed(int32_t result) { return result < 0; }

// The extended joystick state the device is read into, in the platform's
// layout (DIJOYSTATE2, 272 bytes): six axes, two sliders, four POV hats, 128
// button bytes (high bit = pressed), then velocity, acceleration and force
// blocks the program does not read.
struct JoystickState {
  int32_t axes[6];  // X, Y, Z, X rotation, Y rotation, Z rotation
  int32_t sliders[2];
  uint32_t povs[4];  // hundredths of a degree; 0xFFFFFFFF when centred
  uint8_t buttons[128];
  int32_t velocity[8];
  int32_t acceleration[8];
  int32_t force[8];
};
static_assert(sizeof(JoystickState) == 272, "the extended joystick state is 272 bytes");

// What an object of a device is, by its type GUID.
enum class InputObjectKind : uint8_t {
  kXAxis, kYAxis, kZAxis, kXRotation, kYRotation, kZRotation, kSlider, kPov, kButton, kOther
};

struct InputObject {
  InputObjectKind kind;
  bool axis;       // an absolute or relative axis (its range can be set)
  uint32_t id;     // the object's type word, which names it for SetAxisRange
};

constexpr size_t kDeviceNameChars = 260;  // the platform's MAX_PATH

// One attached controller as the enumeration reports it.
struct GamingDeviceInstance {
  DeviceGuid instance;
  DeviceGuid product;  // first 32 bits: vendor id (low 16), product id (high 16)
  char productName[kDeviceNameChars];
};

// One opened controller. Made by GamingInputBackend::CreateDevice; Release
// gives it back (the object is gone afterwards).
class GamingDevice {
 public:
  // Visits one object; false stops the enumeration.
  using ObjectVisitor = bool (*)(const InputObject& object, void* context);

  // The extended joystick data format and background, non-exclusive use
  // with window; the platform's results are of no use to the caller.
  virtual void Prepare(void* window) = 0;
  // All objects (axes, buttons, hats, ...) in the device's order.
  virtual int32_t EnumObjects(ObjectVisitor visit, void* context) = 0;
  virtual int32_t SetAxisRange(uint32_t objectId, int32_t minimum, int32_t maximum) = 0;
  virtual int32_t InstanceGuid(DeviceGuid* out) = 0;
  virtual int32_t Poll() = 0;
  virtual int32_t Acquire() = 0;
  virtual int32_t Unacquire() = 0;
  virtual int32_t GetState(JoystickState* out) = 0;
  virtual void Release() = 0;

 protected:
  ~GamingDevice() = default;
};

class GamingInputBackend {
 public:
  // Visits one attached controller; false stops the enumeration.
  using DeviceVisitor = bool (*)(const GamingDeviceInstance& device, void* context);
  using DeviceIdVisitor = void (*)(const char* deviceId, void* context);

  virtual ~GamingInputBackend() = default;
  // Creates the platform's input object (once; again after Stop).
  virtual int32_t Start() = 0;
  // Releases what Start made. Devices are released before.
  virtual void Stop() = 0;
  // The attached game controllers with force feedback.
  virtual int32_t EnumDevices(DeviceVisitor visit, void* context) = 0;
  // Opens a controller by instance GUID; null when it cannot be opened.
  virtual GamingDevice* CreateDevice(const DeviceGuid& instance) = 0;
  // The device-instance ids of every plug-and-play device ("DeviceID" of
  // Win32_PNPEntity): the XInput filter looks for "IG_" in them.
  virtual int32_t ListPnpDeviceIds(DeviceIdVisitor visit, void* context) = 0;
};
