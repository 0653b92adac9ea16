// Game-controller input figures, natively against a lean scripted device:
//   - one ReadGamingInput with a wheel that moves on every poll (readout
//     texts formatted and compared, the picture's shapes built) and with a
//     wheel that stands still (everything compared, nothing redrawn);
//     target: well under 50 us,
//   - DrawWheelStatePicture alone.
// The view only counts what it is given, so the figures are the program's
// own work, not a dialog's.
#include <time.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <vector>

#include "input/gaming_input.h"

namespace {

double NowNs() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return t.tv_sec * 1e9 + t.tv_nsec;
}

class BenchDevice final : public GamingDevice {
 public:
  bool moving = true;
  void Prepare(void*) override {}
  int32_t EnumObjects(ObjectVisitor visit, void* context) override {
    const InputObjectKind kinds[] = {InputObjectKind::kXAxis, InputObjectKind::kYAxis, InputObjectKind::kZAxis,
                                     InputObjectKind::kXRotation, InputObjectKind::kSlider, InputObjectKind::kPov};
    uint32_t id = 1;
    for (InputObjectKind kind : kinds) {
      if (!visit(InputObject{kind, kind != InputObjectKind::kPov, id++}, context)) break;
    }
    return kInputOk;
  }
  int32_t SetAxisRange(uint32_t, int32_t, int32_t) override { return kInputOk; }
  int32_t InstanceGuid(DeviceGuid* out) override {
    *out = DeviceGuid{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    return kInputOk;
  }
  int32_t Poll() override { return kInputNoEffect; }
  int32_t Acquire() override { return kInputOk; }
  int32_t Unacquire() override { return kInputOk; }
  int32_t GetState(JoystickState* out) override {
    std::memset(out, 0, sizeof *out);
    if (moving) ++reads_;
    // X sweeps the wheel, the pedals breathe, a button blinks.
    out->axes[0] = static_cast<int32_t>((reads_ * 97) & 0xFFFF);
    out->axes[1] = static_cast<int32_t>((reads_ * 31) & 0xFFFF);
    out->axes[2] = static_cast<int32_t>((reads_ * 53) & 0xFFFF);
    out->sliders[0] = static_cast<int32_t>(reads_ & 0xFF);
    for (uint32_t& pov : out->povs) pov = 0xFFFFFFFFu;
    out->buttons[reads_ % 32] = 0x80;
    return kInputOk;
  }
  void Release() override {}

 private:
  uint64_t reads_ = 0;
};

class BenchBackend final : public GamingInputBackend {
 public:
  BenchDevice device;
  int32_t Start() override { return kInputOk; }
  void Stop() override {}
  int32_t EnumDevices(DeviceVisitor visit, void* context) override {
    GamingDeviceInstance wheel{};
    wheel.instance = DeviceGuid{1, 2, 3, {4, 5, 6, 7, 8, 9, 10, 11}};
    std::snprintf(wheel.productName, sizeof wheel.productName, "Bench Wheel");
    visit(wheel, context);
    return kInputOk;
  }
  GamingDevice* CreateDevice(const DeviceGuid&) override { return &device; }
  int32_t ListPnpDeviceIds(DeviceIdVisitor, void*) override { return kInputOk; }
};

class CountingView final : public GamingInputView {
 public:
  long texts = 0;
  long pictures = 0;
  long shapes = 0;
  bool ShowsReadout() override { return true; }
  void EnableInputObject(int, bool) override {}
  void ShowInputValue(int, const char*) override { ++texts; }
  void ShowWheelState(const WheelStatePicture& picture, const PictureRect&) override {
    ++pictures;
    shapes += picture.count;
  }
  void ShowGamingDevices(const GamingDeviceTable&, int) override {}
};

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// Median over rounds of the mean time of one call, in microseconds.
template <class F>
double MeasureUs(int calls, F f) {
  std::vector<double> rounds;
  for (int round = 0; round < 15; ++round) {
    const double t0 = NowNs();
    for (int i = 0; i < calls; ++i) f();
    rounds.push_back((NowNs() - t0) / calls / 1e3);
  }
  return Median(rounds);
}

}  // namespace

int main() {
  const int32_t maxAngle = 900;
  BenchBackend backend;
  CountingView view;
  GamingInput input{maxAngle};
  input.backend = &backend;
  input.view = &view;
  if (input.InitGamingInput(nullptr) != kInputOk) return 1;
  input.FillDeviceList();

  const int kCalls = 20000;
  backend.device.moving = true;
  const double moving = MeasureUs(kCalls, [&] { input.ReadGamingInput(); });
  const double perCallTexts = static_cast<double>(view.texts) / (15.0 * kCalls);
  const double perCallPictures = static_cast<double>(view.pictures) / (15.0 * kCalls);

  backend.device.moving = false;
  view.texts = view.pictures = 0;
  const double still = MeasureUs(kCalls, [&] { input.ReadGamingInput(); });

  WheelStatePicture picture;
  int32_t x = 0;
  const double draw = MeasureUs(kCalls, [&] {
    const int32_t axes[6] = {x, x / 2, x / 3, 0, 0, 0};
    x = (x + 97) & 0xFFFF;
    DrawWheelStatePicture(WheelStateFrom(axes, maxAngle, static_cast<uint32_t>(x)), &picture);
  });

  std::printf("ReadGamingInput, wheel moving every poll: %.2f us per call "
              "(%.2f readout texts and %.2f pictures of %d shapes per call)\n",
              moving, perCallTexts, perCallPictures, picture.count);
  std::printf("ReadGamingInput, wheel standing still:    %.2f us per call (%ld texts, %ld pictures set)\n", still,
              view.texts, view.pictures);
  std::printf("DrawWheelStatePicture alone:              %.2f us per call\n", draw);
  std::printf("target: well under 50 us per ReadGamingInput\n");
  input.Shutdown();
  return 0;
}
