// A stand-in dinput8.dll for the end-to-end scenarios (never shipped): it is
// placed beside Tillerset.exe and loaded under Wine with
// WINEDLLOVERRIDES=dinput8=n. Its game controllers come from a script file,
// dinput8_double.txt beside the DLL, read again on every call that looks at
// a device (so a scenario changes values, plugs and unplugs while the
// program runs); every call it receives is appended to dinput8_double.log.
// The calls a program makes every tick (poll, state read, acquire, device
// info) look at the script at most every 100 ms: under a 30-a-second poll a
// file look-up on each would cost more than the program's own work. The
// others (create, enumerations, opens) look at it each time, so a device
// change notice always finds the script as the scenario left it.
//
// Script (one "key=value" per line, '#' starts a comment):
//   create=fail              DirectInput8Create fails
//   reads=quiet              successful polls and state reads are not logged
//                            (the benchmarks' 60 lines a second); failures
//                            and every other call still are
//   [device]                 starts a controller; then its keys:
//   name=TEXT                product and instance name
//   instance=N,N,...         instance GUID as config.ini writes it (11 numbers)
//   product=VID,PID          product GUID "PIDVID" style (0x.. or decimal)
//   ff=0|1                   has force feedback (default 1)
//   attached=0|1             listed and openable (default 1)
//   lost=0|1                 acquire, poll and state read report lost input
//   acquire=NAME             what acquire answers while the device is gone:
//                            inputlost (default), unplugged, notacquired,
//                            otherapp (DIERR_OTHERAPPHASPRIO), fail (E_FAIL)
//   objects=fail             object enumeration fails (DIERR_INPUTLOST)
//   axes=X Y Z Rx Ry Rz      the axes it has (default all six)
//   sliders=N povs=N buttons=N   object counts (default 2, 1, 32)
//   x= y= z= rx= ry= rz= slider0= slider1=   values (default 0)
//   pov0= .. pov3=           raw POV values (default -1, centred)
//   pressed=I,J,...          pressed buttons by index from 0
//   move=STEP                X advances by STEP on every state read
//   generation=N             a device opened under another generation stays
//                            lost for good (a re-plug that needs a new open)
//
// Like DirectInput, an acquired device refuses data format and range
// changes (DIERR_ACQUIRED) and an unacquired one gives no state.
#define DIRECTINPUT_VERSION 0x0800
#include <windows.h>
#include <dinput.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

HMODULE gModule = nullptr;
FILE* gLog = nullptr;

std::string BesideDll(const char* name) {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(gModule, path, MAX_PATH);
  char* slash = std::strrchr(path, '\\');
  if (slash == nullptr) slash = std::strrchr(path, '/');
  if (slash != nullptr) slash[1] = 0;
  return std::string(path) + name;
}

void Log(const char* format, ...) {
  if (gLog == nullptr) {
    gLog = std::fopen(BesideDll("dinput8_double.log").c_str(), "a");
    if (gLog == nullptr) return;
  }
  // One write of the whole line (the runtime's formatted output to a file
  // goes character by character); flushed, as scenarios read the log live.
  char line[640];
  int used = std::snprintf(line, sizeof line, "%lu ", static_cast<unsigned long>(GetTickCount()));
  va_list args;
  va_start(args, format);
  const int room = static_cast<int>(sizeof line) - used - 1;  // one kept for the line's end
  const int body = std::vsnprintf(line + used, room, format, args);
  va_end(args);
  if (body > 0) used += body < room ? body : room - 1;  // a longer line is cut
  line[used++] = '\n';
  std::fwrite(line, 1, used, gLog);
  std::fflush(gLog);
}

// ---- the script

enum Axis { kX, kY, kZ, kRx, kRy, kRz, kAxes };
const char* const kAxisNames[kAxes] = {"X", "Y", "Z", "Rx", "Ry", "Rz"};
const GUID* const kAxisGuids[kAxes] = {&GUID_XAxis, &GUID_YAxis, &GUID_ZAxis,
                                       &GUID_RxAxis, &GUID_RyAxis, &GUID_RzAxis};

struct Device {
  std::string name = "Double Controller";
  GUID instance{};
  GUID product{};
  bool ff = true;
  bool attached = true;
  bool lost = false;
  HRESULT acquireFailure = DIERR_INPUTLOST;
  bool objectsFail = false;
  bool hasAxis[kAxes] = {true, true, true, true, true, true};
  int sliders = 2;
  int povs = 1;
  int buttons = 32;
  LONG axes[kAxes] = {};
  LONG sliderValues[2] = {};
  DWORD povValues[4] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
  std::vector<int> pressed;
  LONG move = 0;
  long generation = 0;
};

struct Script {
  bool createFails = false;
  bool quietReads = false;
  std::vector<Device> devices;
};

long Number(const std::string& text) { return std::strtol(text.c_str(), nullptr, 0); }

std::vector<std::string> Split(const std::string& text) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : text + ",") {
    if (c == ',' || c == ' ' || c == '\t') {
      if (!part.empty()) parts.push_back(part);
      part.clear();
    } else {
      part.push_back(c);
    }
  }
  return parts;
}

GUID InstanceGuid(const std::string& text) {
  const std::vector<std::string> n = Split(text);
  GUID guid{};
  auto at = [&](size_t i) { return i < n.size() ? std::strtoul(n[i].c_str(), nullptr, 0) : 0ul; };
  guid.Data1 = static_cast<DWORD>(at(0));
  guid.Data2 = static_cast<WORD>(at(1));
  guid.Data3 = static_cast<WORD>(at(2));
  for (int i = 0; i < 8; ++i) guid.Data4[i] = static_cast<BYTE>(at(3 + i));
  return guid;
}

// The product GUID DirectInput gives a USB HID device: {PIDVID-0000-0000-0000-504944564944}.
GUID ProductGuid(const std::string& text) {
  const std::vector<std::string> n = Split(text);
  const unsigned long vid = n.size() > 0 ? std::strtoul(n[0].c_str(), nullptr, 0) : 0;
  const unsigned long pid = n.size() > 1 ? std::strtoul(n[1].c_str(), nullptr, 0) : 0;
  GUID guid{};
  guid.Data1 = static_cast<DWORD>(((pid & 0xFFFF) << 16) | (vid & 0xFFFF));
  const BYTE tail[8] = {0, 0, 'P', 'I', 'D', 'V', 'I', 'D'};
  std::memcpy(guid.Data4, tail, 8);
  return guid;
}

void SetKey(Device& d, const std::string& key, const std::string& value) {
  if (key == "name") d.name = value;
  else if (key == "instance") d.instance = InstanceGuid(value);
  else if (key == "product") d.product = ProductGuid(value);
  else if (key == "ff") d.ff = Number(value) != 0;
  else if (key == "attached") d.attached = Number(value) != 0;
  else if (key == "lost") d.lost = Number(value) != 0;
  else if (key == "objects") d.objectsFail = value == "fail";
  else if (key == "acquire") {
    d.acquireFailure = value == "unplugged" ? DIERR_UNPLUGGED
                       : value == "notacquired" ? DIERR_NOTACQUIRED
                       : value == "otherapp" ? DIERR_OTHERAPPHASPRIO
                       : value == "fail" ? E_FAIL
                                         : DIERR_INPUTLOST;
  }
  else if (key == "sliders") d.sliders = static_cast<int>(Number(value));
  else if (key == "povs") d.povs = static_cast<int>(Number(value));
  else if (key == "buttons") d.buttons = static_cast<int>(Number(value));
  else if (key == "move") d.move = Number(value);
  else if (key == "generation") d.generation = Number(value);
  else if (key == "slider0") d.sliderValues[0] = Number(value);
  else if (key == "slider1") d.sliderValues[1] = Number(value);
  else if (key.size() == 4 && key.compare(0, 3, "pov") == 0 && key[3] >= '0' && key[3] <= '3') {
    d.povValues[key[3] - '0'] = static_cast<DWORD>(Number(value));
  } else if (key == "pressed") {
    d.pressed.clear();
    for (const std::string& p : Split(value)) d.pressed.push_back(static_cast<int>(Number(p)));
  } else if (key == "axes") {
    for (bool& has : d.hasAxis) has = false;
    for (const std::string& name : Split(value)) {
      for (int a = 0; a < kAxes; ++a) {
        if (_stricmp(name.c_str(), kAxisNames[a]) == 0) d.hasAxis[a] = true;
      }
    }
  } else {
    for (int a = 0; a < kAxes; ++a) {
      if (_stricmp(key.c_str(), kAxisNames[a]) == 0) d.axes[a] = Number(value);
    }
  }
}

Script ParseScript(const std::string& path) {
  Script script;
  FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return script;
  char line[1024];
  Device* device = nullptr;
  while (std::fgets(line, sizeof line, file) != nullptr) {
    std::string text(line);
    const size_t hash = text.find('#');
    if (hash != std::string::npos) text.erase(hash);
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' ')) text.pop_back();
    if (text == "[device]") {
      script.devices.emplace_back();
      device = &script.devices.back();
      continue;
    }
    const size_t eq = text.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = text.substr(0, eq);
    const std::string value = text.substr(eq + 1);
    if (device != nullptr) {
      SetKey(*device, key, value);
    } else if (key == "create") {
      script.createFails = value == "fail";
    } else if (key == "reads") {
      script.quietReads = value == "quiet";
    }
  }
  std::fclose(file);
  return script;
}

enum class Look { kNow, kAtMost100Ms };
constexpr DWORD kLookIntervalMs = 100;

// The script as it stands now: parsed again only when its time stamp or size
// changed (scenarios replace it whole), so a look costs a file look-up, not an
// open and parse. kAtMost100Ms skips even the look-up within 100 ms of the
// last one.
const Script& ReadScript(Look look = Look::kNow) {
  static Script cached;
  static FILETIME stamp{};
  static DWORD size = 0;
  static bool parsed = false;
  static bool looked = false;
  static DWORD lookedAt = 0;
  static const std::string path = BesideDll("dinput8_double.txt");
  const DWORD tick = GetTickCount();
  if (look == Look::kAtMost100Ms && looked && tick - lookedAt < kLookIntervalMs) return cached;
  looked = true;
  lookedAt = tick;
  WIN32_FILE_ATTRIBUTE_DATA now{};
  if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &now)) {
    cached = Script{};
    parsed = false;
    return cached;
  }
  if (!parsed || CompareFileTime(&now.ftLastWriteTime, &stamp) != 0 || now.nFileSizeLow != size) {
    cached = ParseScript(path);
    stamp = now.ftLastWriteTime;
    size = now.nFileSizeLow;
    parsed = true;
  }
  return cached;
}

const Device* ScriptDevice(const Script& script, REFGUID instance) {
  for (const Device& d : script.devices) {
    if (IsEqualGUID(d.instance, instance)) return &d;
  }
  return nullptr;
}

std::string GuidText(REFGUID g) {
  char text[128];
  std::snprintf(text, sizeof text, "%lu,%u,%u,%u,%u,%u,%u,%u,%u,%u,%u", static_cast<unsigned long>(g.Data1),
                g.Data2, g.Data3, g.Data4[0], g.Data4[1], g.Data4[2], g.Data4[3], g.Data4[4], g.Data4[5],
                g.Data4[6], g.Data4[7]);
  return text;
}

// ---- the objects a device enumerates, in DirectInput's order

struct Object {
  const GUID* type;
  DWORD dwType;
  DWORD offset;
  std::string name;
};

std::vector<Object> ObjectsOf(const Device& d) {
  std::vector<Object> objects;
  for (int a = 0; a < kAxes; ++a) {
    if (d.hasAxis[a]) {
      objects.push_back({kAxisGuids[a], static_cast<DWORD>(DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(a)),
                         static_cast<DWORD>(a * 4), std::string(kAxisNames[a]) + " Axis"});
    }
  }
  for (int s = 0; s < d.sliders; ++s) {
    objects.push_back({&GUID_Slider, static_cast<DWORD>(DIDFT_ABSAXIS | DIDFT_MAKEINSTANCE(kAxes + s)),
                       static_cast<DWORD>(24 + 4 * (s < 2 ? s : 1)), "Slider " + std::to_string(s)});
  }
  for (int p = 0; p < d.povs; ++p) {
    objects.push_back({&GUID_POV, static_cast<DWORD>(DIDFT_POV | DIDFT_MAKEINSTANCE(p)),
                       static_cast<DWORD>(32 + 4 * (p < 4 ? p : 3)), "Hat Switch " + std::to_string(p)});
  }
  for (int b = 0; b < d.buttons; ++b) {
    objects.push_back({&GUID_Button, static_cast<DWORD>(DIDFT_PSHBUTTON | DIDFT_MAKEINSTANCE(b)),
                       static_cast<DWORD>(48 + (b < 128 ? b : 127)), "Button " + std::to_string(b)});
  }
  return objects;
}

void FillInstance(const Device& d, DIDEVICEINSTANCEA* out) {
  const DWORD size = out->dwSize;
  std::memset(out, 0, size);
  out->dwSize = size;
  out->guidInstance = d.instance;
  out->guidProduct = d.product;
  out->dwDevType = DI8DEVTYPE_DRIVING | (DI8DEVTYPEDRIVING_DUALPEDALS << 8) | DIDEVTYPE_HID;
  std::snprintf(out->tszInstanceName, MAX_PATH, "%s", d.name.c_str());
  std::snprintf(out->tszProductName, MAX_PATH, "%s", d.name.c_str());
}

// ---- the device

class DoubleDevice final : public IDirectInputDevice8A {
 public:
  DoubleDevice(REFGUID instance, long generation) : instance_(instance), generation_(generation) {}

  STDMETHOD(QueryInterface)(REFIID riid, void** out) override {
    Log("Device.QueryInterface");
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirectInputDevice8A)) {
      AddRef();
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++references_; }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG left = --references_;
    Log("Device.Release %s -> %lu", GuidText(instance_).c_str(), left);
    if (left == 0) delete this;
    return left;
  }

  STDMETHOD(GetCapabilities)(LPDIDEVCAPS) override { return Unsupported("GetCapabilities"); }

  STDMETHOD(EnumObjects)(LPDIENUMDEVICEOBJECTSCALLBACKA callback, LPVOID ref, DWORD flags) override {
    const Script script = ReadScript();  // a copy: the callback may call back in
    const Device* d = ScriptDevice(script, instance_);
    Log("EnumObjects flags=0x%lx", flags);
    if (d == nullptr || d->objectsFail) return DIERR_INPUTLOST;
    for (const Object& o : ObjectsOf(*d)) {
      DIDEVICEOBJECTINSTANCEA info{};
      info.dwSize = sizeof info;
      info.guidType = *o.type;
      info.dwOfs = o.offset;
      info.dwType = o.dwType;
      std::snprintf(info.tszName, MAX_PATH, "%s", o.name.c_str());
      if (callback(&info, ref) != DIENUM_CONTINUE) {
        Log("EnumObjects stopped at %s", o.name.c_str());
        break;
      }
    }
    return DI_OK;
  }

  STDMETHOD(GetProperty)(REFGUID, LPDIPROPHEADER) override { return Unsupported("GetProperty"); }

  STDMETHOD(SetProperty)(REFGUID property, LPCDIPROPHEADER header) override {
    // DIPROP_RANGE is the "GUID" at address 4.
    if (reinterpret_cast<uintptr_t>(&property) != 4) {
      return Result(DIERR_UNSUPPORTED, "SetProperty other");
    }
    const DIPROPRANGE* range = reinterpret_cast<const DIPROPRANGE*>(header);
    char what[96];
    std::snprintf(what, sizeof what, "SetProperty range obj=0x%lx how=%lu %ld..%ld", range->diph.dwObj,
                  range->diph.dwHow, range->lMin, range->lMax);
    return Result(acquired_ ? DIERR_ACQUIRED : DI_OK, what);
  }

  STDMETHOD(Acquire)() override {
    const Script& script = ReadScript(Look::kAtMost100Ms);
    const Device* d = ScriptDevice(script, instance_);
    if (Gone(d)) {
      acquired_ = false;
      return Result(d != nullptr ? d->acquireFailure : DIERR_INPUTLOST, "Acquire");
    }
    if (!formatSet_) return Result(DIERR_INVALIDPARAM, "Acquire");
    if (acquired_) return Result(DI_NOEFFECT, "Acquire");
    acquired_ = true;
    return Result(DI_OK, "Acquire");
  }

  STDMETHOD(Unacquire)() override {
    const HRESULT result = acquired_ ? DI_OK : DI_NOEFFECT;
    acquired_ = false;
    return Result(result, "Unacquire");
  }

  STDMETHOD(GetDeviceState)(DWORD size, LPVOID data) override {
    const Script& script = ReadScript(Look::kAtMost100Ms);
    const Device* d = ScriptDevice(script, instance_);
    if (Gone(d)) {
      acquired_ = false;
      return Result(DIERR_INPUTLOST, "GetDeviceState");
    }
    if (!acquired_) return Result(DIERR_NOTACQUIRED, "GetDeviceState");
    if (size != sizeof(DIJOYSTATE2)) return Result(DIERR_INVALIDPARAM, "GetDeviceState");
    DIJOYSTATE2 state{};
    LONG* axes[kAxes] = {&state.lX, &state.lY, &state.lZ, &state.lRx, &state.lRy, &state.lRz};
    for (int a = 0; a < kAxes; ++a) *axes[a] = d->hasAxis[a] ? d->axes[a] : 0;
    if (d->move != 0) {
      ++reads_;
      state.lX = static_cast<LONG>((static_cast<unsigned long>(d->axes[kX]) + reads_ * d->move) & 0xFFFF);
    }
    for (int s = 0; s < 2 && s < d->sliders; ++s) state.rglSlider[s] = d->sliderValues[s];
    for (int p = 0; p < 4; ++p) state.rgdwPOV[p] = p < d->povs ? d->povValues[p] : 0xFFFFFFFFu;
    for (int b : d->pressed) {
      if (b >= 0 && b < 128 && b < d->buttons) state.rgbButtons[b] = 0x80;
    }
    std::memcpy(data, &state, sizeof state);
    if (script.quietReads) return DI_OK;
    return Result(DI_OK, "GetDeviceState");
  }

  STDMETHOD(GetDeviceData)(DWORD, LPDIDEVICEOBJECTDATA, LPDWORD, DWORD) override {
    return Unsupported("GetDeviceData");
  }

  STDMETHOD(SetDataFormat)(LPCDIDATAFORMAT format) override {
    char what[96];
    std::snprintf(what, sizeof what, "SetDataFormat objects=%lu size=%lu flags=0x%lx",
                  format != nullptr ? format->dwNumObjs : 0, format != nullptr ? format->dwDataSize : 0,
                  format != nullptr ? format->dwFlags : 0);
    if (acquired_) return Result(DIERR_ACQUIRED, what);
    formatSet_ = format != nullptr && format->dwDataSize == sizeof(DIJOYSTATE2);
    return Result(formatSet_ ? DI_OK : DIERR_INVALIDPARAM, what);
  }

  STDMETHOD(SetEventNotification)(HANDLE) override { return Unsupported("SetEventNotification"); }

  STDMETHOD(SetCooperativeLevel)(HWND window, DWORD flags) override {
    char what[96];
    std::snprintf(what, sizeof what, "SetCooperativeLevel window=%s flags=0x%lx", window ? "yes" : "none", flags);
    return Result(DI_OK, what);
  }

  STDMETHOD(GetObjectInfo)(LPDIDEVICEOBJECTINSTANCEA, DWORD, DWORD) override {
    return Unsupported("GetObjectInfo");
  }

  STDMETHOD(GetDeviceInfo)(LPDIDEVICEINSTANCEA info) override {
    const Script& script = ReadScript(Look::kAtMost100Ms);
    const Device* d = ScriptDevice(script, instance_);
    if (info == nullptr || info->dwSize != sizeof(DIDEVICEINSTANCEA)) return Result(DIERR_INVALIDPARAM, "GetDeviceInfo");
    Device fallback;
    fallback.instance = instance_;
    FillInstance(d != nullptr ? *d : fallback, info);
    return Result(DI_OK, "GetDeviceInfo");
  }

  STDMETHOD(RunControlPanel)(HWND, DWORD) override { return Unsupported("RunControlPanel"); }
  STDMETHOD(Initialize)(HINSTANCE, DWORD, REFGUID) override { return Unsupported("Device.Initialize"); }
  // The program must never ask for an effect: each of these is logged, so a
  // scenario can show that none came.
  STDMETHOD(CreateEffect)(REFGUID, LPCDIEFFECT, LPDIRECTINPUTEFFECT* effect, LPUNKNOWN) override {
    if (effect != nullptr) *effect = nullptr;
    return Unsupported("EFFECT CreateEffect");
  }
  STDMETHOD(EnumEffects)(LPDIENUMEFFECTSCALLBACKA, LPVOID, DWORD) override { return Unsupported("EFFECT EnumEffects"); }
  STDMETHOD(GetEffectInfo)(LPDIEFFECTINFOA, REFGUID) override { return Unsupported("EFFECT GetEffectInfo"); }
  STDMETHOD(GetForceFeedbackState)(LPDWORD) override { return Unsupported("EFFECT GetForceFeedbackState"); }
  STDMETHOD(SendForceFeedbackCommand)(DWORD) override { return Unsupported("EFFECT SendForceFeedbackCommand"); }
  STDMETHOD(EnumCreatedEffectObjects)(LPDIENUMCREATEDEFFECTOBJECTSCALLBACK, LPVOID, DWORD) override {
    return Unsupported("EFFECT EnumCreatedEffectObjects");
  }
  STDMETHOD(Escape)(LPDIEFFESCAPE) override { return Unsupported("EFFECT Escape"); }

  STDMETHOD(Poll)() override {
    const Script& script = ReadScript(Look::kAtMost100Ms);
    const Device* d = ScriptDevice(script, instance_);
    if (Gone(d)) {
      acquired_ = false;
      return Result(DIERR_INPUTLOST, "Poll");
    }
    if (acquired_ && script.quietReads) return DI_NOEFFECT;
    return Result(acquired_ ? DI_NOEFFECT : DIERR_NOTACQUIRED, "Poll");
  }

  STDMETHOD(SendDeviceData)(DWORD, LPCDIDEVICEOBJECTDATA, LPDWORD, DWORD) override {
    return Unsupported("SendDeviceData");
  }
  STDMETHOD(EnumEffectsInFile)(LPCSTR, LPDIENUMEFFECTSINFILECALLBACK, LPVOID, DWORD) override {
    return Unsupported("EFFECT EnumEffectsInFile");
  }
  STDMETHOD(WriteEffectToFile)(LPCSTR, DWORD, LPDIFILEEFFECT, DWORD) override {
    return Unsupported("EFFECT WriteEffectToFile");
  }
  STDMETHOD(BuildActionMap)(LPDIACTIONFORMATA, LPCSTR, DWORD) override { return Unsupported("BuildActionMap"); }
  STDMETHOD(SetActionMap)(LPDIACTIONFORMATA, LPCSTR, DWORD) override { return Unsupported("SetActionMap"); }
  STDMETHOD(GetImageInfo)(LPDIDEVICEIMAGEINFOHEADERA) override { return Unsupported("GetImageInfo"); }

 private:
  HRESULT Result(HRESULT result, const char* what) {
    Log("%s %s -> 0x%08lx", what, GuidText(instance_).c_str(), static_cast<unsigned long>(result));
    return result;
  }
  HRESULT Unsupported(const char* what) { return Result(DIERR_UNSUPPORTED, what); }

  // Not there, unplugged, reporting lost input, or plugged in again since
  // this interface was opened.
  bool Gone(const Device* d) const { return d == nullptr || !d->attached || d->lost || d->generation != generation_; }

  GUID instance_;
  long generation_;
  ULONG references_ = 1;
  bool acquired_ = false;
  bool formatSet_ = false;
  unsigned long reads_ = 0;
};

// ---- the DirectInput object

class DoubleInput final : public IDirectInput8A {
 public:
  STDMETHOD(QueryInterface)(REFIID riid, void** out) override {
    Log("QueryInterface");
    if (IsEqualGUID(riid, IID_IUnknown) || IsEqualGUID(riid, IID_IDirectInput8A)) {
      AddRef();
      *out = this;
      return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
  }
  STDMETHOD_(ULONG, AddRef)() override { return ++references_; }
  STDMETHOD_(ULONG, Release)() override {
    const ULONG left = --references_;
    Log("Release -> %lu", left);
    if (left == 0) delete this;
    return left;
  }

  STDMETHOD(CreateDevice)(REFGUID instance, LPDIRECTINPUTDEVICE8A* device, LPUNKNOWN outer) override {
    const Script& script = ReadScript();
    const Device* d = ScriptDevice(script, instance);
    *device = nullptr;
    HRESULT result = DIERR_DEVICENOTREG;
    if (d != nullptr && d->attached) {
      *device = new DoubleDevice(instance, d->generation);
      result = DI_OK;
    }
    Log("CreateDevice %s -> 0x%08lx", GuidText(instance).c_str(), static_cast<unsigned long>(result));
    return result;
  }

  STDMETHOD(EnumDevices)(DWORD type, LPDIENUMDEVICESCALLBACKA callback, LPVOID ref, DWORD flags) override {
    const Script script = ReadScript();  // a copy: the callback may call back in
    Log("EnumDevices class=%lu flags=0x%lx", type, flags);
    for (const Device& d : script.devices) {
      if (!d.attached) continue;
      if ((flags & DIEDFL_FORCEFEEDBACK) && !d.ff) continue;
      DIDEVICEINSTANCEA info{};
      info.dwSize = sizeof info;
      FillInstance(d, &info);
      Log("EnumDevices gives \"%s\" %s", d.name.c_str(), GuidText(d.instance).c_str());
      if (callback(&info, ref) != DIENUM_CONTINUE) break;
    }
    return DI_OK;
  }

  STDMETHOD(GetDeviceStatus)(REFGUID) override { return Unsupported("GetDeviceStatus"); }
  STDMETHOD(RunControlPanel)(HWND, DWORD) override { return Unsupported("RunControlPanel"); }
  STDMETHOD(Initialize)(HINSTANCE, DWORD) override { return Unsupported("Initialize"); }
  STDMETHOD(FindDevice)(REFGUID, LPCSTR, LPGUID) override { return Unsupported("FindDevice"); }
  STDMETHOD(EnumDevicesBySemantics)(LPCSTR, LPDIACTIONFORMATA, LPDIENUMDEVICESBYSEMANTICSCBA, LPVOID,
                                    DWORD) override {
    return Unsupported("EnumDevicesBySemantics");
  }
  STDMETHOD(ConfigureDevices)(LPDICONFIGUREDEVICESCALLBACK, LPDICONFIGUREDEVICESPARAMSA, DWORD, LPVOID) override {
    return Unsupported("ConfigureDevices");
  }

 private:
  HRESULT Unsupported(const char* what) {
    Log("%s -> 0x%08lx", what, static_cast<unsigned long>(DIERR_UNSUPPORTED));
    return DIERR_UNSUPPORTED;
  }
  ULONG references_ = 1;
};

}  // namespace

extern "C" HRESULT WINAPI DirectInput8Create(HINSTANCE, DWORD version, REFIID riid, LPVOID* out, LPUNKNOWN) {
  const Script& script = ReadScript();
  const bool ansi = IsEqualGUID(riid, IID_IDirectInput8A);
  HRESULT result = DI_OK;
  if (out == nullptr) {
    result = DIERR_INVALIDPARAM;
  } else if (script.createFails) {
    *out = nullptr;
    result = DIERR_OUTOFMEMORY;
  } else if (!ansi) {
    *out = nullptr;
    result = DIERR_NOINTERFACE;
  } else {
    *out = static_cast<IDirectInput8A*>(new DoubleInput);
  }
  Log("DirectInput8Create version=0x%04lx interface=%s -> 0x%08lx", version, ansi ? "IDirectInput8A" : "other",
      static_cast<unsigned long>(result));
  return result;
}

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    gModule = instance;
    DisableThreadLibraryCalls(instance);
  } else if (reason == DLL_PROCESS_DETACH && gLog != nullptr) {
    std::fclose(gLog);
    gLog = nullptr;
  }
  return TRUE;
}
