#include "input/gaming_input.h"

#include <cstdio>
#include <cstring>

#include "exec/log.h"
#include "input/xinput_ids.h"

namespace {

// Controllers looked at per enumeration; far more than the table holds, so
// the ones the XInput filter leaves out cannot crowd out the rest.
constexpr int kMaxEnumerated = 64;

constexpr int32_t kAxisMinimum = 0;
constexpr int32_t kAxisMaximum = 65535;

void CopyName(char (&out)[kProductNameSize], const char* name) {
  std::snprintf(out, sizeof out, "%s", name);
}

}  // namespace

struct GamingInput::EnumContext {
  GamingDeviceInstance found[kMaxEnumerated];
  int count = 0;
};

bool GamingInput::VisitDevice(const GamingDeviceInstance& device, void* context) {
  auto* enumeration = static_cast<EnumContext*>(context);
  if (enumeration->count >= kMaxEnumerated) return false;
  GamingDeviceInstance& copy = enumeration->found[enumeration->count++];
  copy = device;
  copy.productName[kDeviceNameChars - 1] = 0;
  return true;
}

void GamingInput::VisitPnpDeviceId(const char* deviceId, void* context) {
  uint32_t id = 0;
  if (XInputIdFromDeviceId(deviceId, &id)) static_cast<XInputIdList*>(context)->Push(id);
}

int32_t GamingInput::EnumerateDevices(EnumContext& context) {
  context.count = 0;
  return backend->EnumDevices(VisitDevice, &context);
}

int GamingInput::FindEntry(const DeviceGuid& instance) const {
  for (uint32_t i = 0; i < table.count; ++i) {
    if (table.entries[i].instance == instance) return static_cast<int>(i);
  }
  return -1;
}

int32_t GamingInput::InitGamingInput(void* window) {
  window_ = window;
  if (backend == nullptr) return kInputOk;
  int32_t result = backend->Start();
  if (InputFailed(result)) return result;

  XInputIdList& xinput = xinputIds_;
  xinput.Free();
  if (xinputFilter) {
    // A failure only lets the devices through. Asked once, before the window
    // shows: a query takes up to seconds, and the window never waits for it.
    const int32_t listed = backend->ListPnpDeviceIds(VisitPnpDeviceId, &xinput);
    LogPrintf(0, "InitGamingInput: %d XInput device id(s) from WMI (result 0x%08x)", xinput.Count(),
              static_cast<unsigned>(listed));
  }

  EnumContext context;
  result = EnumerateDevices(context);
  if (InputFailed(result)) return result;

  int picked = -1;
  for (int i = 0; i < context.count; ++i) {
    const GamingDeviceInstance& found = context.found[i];
    if (xinputFilter && xinput.Contains(found.product.data1)) continue;
    GamingDevice* device = backend->CreateDevice(found.instance);
    if (device == nullptr) continue;
    if (table.count < kMaxGamingDevices) {
      GamingDeviceEntry& entry = table.entries[table.count];
      entry.device = device;
      entry.instance = found.instance;
      CopyName(entry.productName, found.productName);
      if (found.instance == table.usedDevice) picked = static_cast<int>(table.count);
      ++table.count;
      device->Prepare(window_);
    } else {
      // Beyond the table nothing would ever read it.
      device->Prepare(window_);
      device->Release();
    }
  }

  // No match: the device list activates its first entry. A remembered
  // controller that cannot be activated now (pulled out while the program
  // starts, held by another program) must not end the whole program with
  // "Error Initializing DirectInput": DirectInput itself works, the user can
  // pick it again in the list.
  if (picked >= 0) {
    const int32_t activated = ActivateGamingDevice(static_cast<uint32_t>(picked));
    if (InputFailed(activated)) {
      LogPrintf(0, "InitGamingInput: the controller could not be activated (0x%08x)", static_cast<unsigned>(activated));
    }
  }
  return kInputOk;
}

bool GamingInput::VisitObject(const InputObject& object, void* context) {
  GamingInput* self = static_cast<GamingInput*>(context);
  GamingDevice* device = self->table.entries[self->active_].device;
  if (object.axis && InputFailed(device->SetAxisRange(object.id, kAxisMinimum, kAxisMaximum))) {
    return false;  // the bits found so far stay
  }
  switch (object.kind) {
    case InputObjectKind::kXAxis: self->objectMask |= 1u << kObjectX; break;
    case InputObjectKind::kYAxis: self->objectMask |= 1u << kObjectY; break;
    case InputObjectKind::kZAxis: self->objectMask |= 1u << kObjectZ; break;
    case InputObjectKind::kXRotation: self->objectMask |= 1u << kObjectXRotation; break;
    case InputObjectKind::kYRotation: self->objectMask |= 1u << kObjectYRotation; break;
    case InputObjectKind::kZRotation: self->objectMask |= 1u << kObjectZRotation; break;
    case InputObjectKind::kSlider:
      if (self->sliderCount < kMaxSliders) self->objectMask |= 1u << (kObjectSlider0 + self->sliderCount);
      ++self->sliderCount;
      break;
    case InputObjectKind::kPov:
      if (self->povCount < kMaxPovs) self->objectMask |= 1u << (kObjectPov0 + self->povCount);
      ++self->povCount;
      break;
    default:
      break;
  }
  return true;
}

int32_t GamingInput::ActivateGamingDevice(uint32_t index) {
  if (index >= table.count) return kInputOk;
  GamingDevice* device = table.entries[index].device;
  // The device left behind is read no more. And DirectInput refuses range
  // settings on an acquired device: activating the one already in use (or
  // picking it again) would stop at its first axis with an empty mask.
  if (active_ >= 0 && static_cast<uint32_t>(active_) != index) {
    table.entries[active_].device->Unacquire();
  }
  device->Unacquire();

  objectMask = 0;
  sliderCount = 0;
  povCount = 0;
  active_ = static_cast<int>(index);
  lost_ = false;
  const int32_t result = device->EnumObjects(VisitObject, this);
  if (InputFailed(result)) {
    // Nothing is active then: a pick of the same entry in the list tries
    // again, and the controls of its axes stay off meanwhile.
    active_ = -1;
    objectMask = 0;
    UpdateInputObjectControls();
    return result;
  }

  DeviceGuid instance{};
  table.usedDevice = InputFailed(device->InstanceGuid(&instance)) ? table.entries[index].instance : instance;
  UpdateInputObjectControls();
  device->Acquire();
  return kInputOk;
}

void GamingInput::FillDeviceList() {
  int selected = -1;
  for (uint32_t i = 0; i < table.count; ++i) {
    if (table.entries[i].instance == table.usedDevice) selected = static_cast<int>(i);
  }
  if (selected < 0 && table.count > 0) selected = 0;
  if (view != nullptr) view->ShowGamingDevices(table, selected);
  if (selected >= 0) ActivateGamingDevice(static_cast<uint32_t>(selected));
}

void GamingInput::UpdateInputObjectControls() {
  if (view == nullptr) return;
  for (int object = 0; object < kInputObjectCount; ++object) {
    view->EnableInputObject(object, (objectMask >> object) & 1u);
  }
}

int GamingInput::ReadGamingInput() {
  if (active_ < 0) return 0;
  GamingDevice* device = table.entries[active_].device;

  // An unplugged controller reports lost input on every acquire, for as long
  // as it stays away: one try per tick then, and the window goes on.
  if (lost_) {
    if (InputFailed(device->Acquire())) return 0;
    lost_ = false;
    LogPrintf(0, "ReadGamingInput: input is back");
    return 0;
  }
  if (InputFailed(device->Poll())) {
    // Windows answers an unplugged device's acquire in more ways than lost
    // input (DIERR_UNPLUGGED, DIERR_NOTACQUIRED, ...): any failure counts.
    int32_t result = kInputLost;
    for (int tries = 0; tries < kAcquireTriesPerTick && InputFailed(result); ++tries) {
      result = device->Acquire();
    }
    if (InputFailed(result)) {
      lost_ = true;
      LogPrintf(0, "ReadGamingInput: input lost, trying again on each tick");
    }
    return 0;
  }

  JoystickState state;
  if (InputFailed(device->GetState(&state))) return 0;
  ShowReadout(state);
  buttonMask = 0;
  for (int i = 0; i < kPictureButtons; ++i) {
    if (state.buttons[i] & 0x80) buttonMask |= 1u << i;
  }
  std::memcpy(axisSnapshot, state.axes, sizeof axisSnapshot);
  ShowPicture();
  return 0;
}

void GamingInput::ShowReadout(const JoystickState& state) {
  if (view == nullptr || !view->ShowsReadout()) return;
  char text[kReadoutTextSize];
  for (int object = 0; object < kInputObjectCount; ++object) {
    if (object <= kObjectZRotation) {
      std::snprintf(text, sizeof text, "%ld", static_cast<long>(state.axes[object]));
    } else if (object <= kObjectSlider1) {
      std::snprintf(text, sizeof text, "%ld", static_cast<long>(state.sliders[object - kObjectSlider0]));
    } else {
      std::snprintf(text, sizeof text, "%x", static_cast<unsigned>(state.povs[object - kObjectPov0]));
    }
    // Thirty times a second: a text that stands already is not set again.
    if (textShown_[object] && std::strcmp(text, shownText_[object]) == 0) continue;
    view->ShowInputValue(object, text);
    std::memcpy(shownText_[object], text, sizeof text);
    textShown_[object] = true;
  }
}

void GamingInput::ShowPicture() {
  const WheelStateInputs inputs = WheelStateFrom(axisSnapshot, maxAngle_, buttonMask);
  if (pictureShown_ && inputs == shownPicture_) return;
  const PictureRect changed = pictureShown_ ? ChangedPictureArea(shownPicture_, inputs) : kWheelStatePictureArea;
  DrawWheelStatePicture(inputs, &picture_);
  if (view != nullptr) view->ShowWheelState(picture_, changed);
  shownPicture_ = inputs;
  pictureShown_ = true;
}

void GamingInput::Reacquire() {
  if (active_ < 0) return;
  if (!InputFailed(table.entries[active_].device->Acquire())) lost_ = false;
}

void GamingInput::DevicesChanged() {
  rescanPending_ = true;
  rescanDueUs_ = clock->NowUs() + kRescanDelayUs;
}

void GamingInput::RescanIfDue() {
  if (!rescanPending_ || clock->NowUs() < rescanDueUs_) return;
  rescanPending_ = false;
  RescanGamingDevices();
}

void GamingInput::RescanGamingDevices() {
  if (backend == nullptr) return;
  EnumContext context;
  if (InputFailed(EnumerateDevices(context))) return;

  // The XInput ids are those taken at start: the WMI query would hold the
  // window for seconds.
  const XInputIdList& xinput = xinputIds_;
  bool added = false;
  bool reopenActive = false;
  for (int i = 0; i < context.count; ++i) {
    const GamingDeviceInstance& found = context.found[i];
    const int known = FindEntry(found.instance);
    if (known >= 0) {
      if (known == active_ && lost_) reopenActive = true;
      continue;
    }
    if (table.count >= kMaxGamingDevices) continue;
    if (xinputFilter && xinput.Contains(found.product.data1)) continue;
    GamingDevice* device = backend->CreateDevice(found.instance);
    if (device == nullptr) continue;
    GamingDeviceEntry& entry = table.entries[table.count++];
    entry.device = device;
    entry.instance = found.instance;
    CopyName(entry.productName, found.productName);
    device->Prepare(window_);
    added = true;
  }

  // A controller that was unplugged and is back: a fresh interface, since
  // the old one may never deliver input again.
  if (reopenActive) {
    GamingDeviceEntry& entry = table.entries[active_];
    if (GamingDevice* device = backend->CreateDevice(entry.instance)) {
      device->Prepare(window_);
      entry.device->Release();
      entry.device = device;
      ActivateGamingDevice(static_cast<uint32_t>(active_));
      LogPrintf(0, "RescanGamingDevices: \"%s\" opened again", entry.productName);
    }
  }
  if (added) {
    LogPrintf(0, "RescanGamingDevices: %u controller(s) listed", static_cast<unsigned>(table.count));
    if (active_ < 0) {
      FillDeviceList();  // the first controller that arrives is read at once
    } else if (view != nullptr) {
      view->ShowGamingDevices(table, active_);
    }
  }
}

void GamingInput::Shutdown() {
  for (uint32_t i = 0; i < table.count; ++i) {
    GamingDeviceEntry& entry = table.entries[i];
    if (entry.device == nullptr) continue;
    entry.device->Unacquire();
    entry.device->Release();
    entry.device = nullptr;
  }
  table.count = 0;
  active_ = -1;
  lost_ = false;
  xinputIds_.Free();
  if (backend != nullptr) backend->Stop();
}
