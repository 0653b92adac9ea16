#include "app/advanced_page.h"

#include "app/control_panel.h"
#include "drive/advanced_settings.h"
#include "drive/game_controller.h"

namespace {

// The game controller the board shows, as the advanced settings see it: the
// active device's axes (the object mask's first six bits are X .. Z rotation,
// as the editor counts them) and the axis snapshot of its last read.
class InputAxes : public GameControllerAxes {
 public:
  explicit InputAxes(GamingInput& input) : input_(input) {}
  uint32_t ObjectMask() override {
    return input_.ActiveIndex() < 0 ? 0 : input_.objectMask & ((1u << kGameAxisCount) - 1);
  }
  void ReadInput() override { input_.ReadGamingInput(); }
  int32_t AxisValue(int axis) override {
    return axis >= 0 && axis < kGameAxisCount ? input_.axisSnapshot[axis] : 0;
  }

 private:
  GamingInput& input_;
};

void (*gRunner)(AdvancedSettings& settings, DialogControls& owner) = nullptr;

}  // namespace

void SetAdvancedSettingsRunner(void (*run)(AdvancedSettings& settings, DialogControls& owner)) { gRunner = run; }

void OpenAdvancedSettings(ControlPanel& panel, DialogControls& page) {
  InputAxes axes(panel.input);
  AdvancedSettings settings(panel.link, panel.drive, axes);
  settings.runDialog = gRunner;
  panel.openAdvancedSettings = &settings;
  ShowAdvancedSettings(settings, page);
  panel.openAdvancedSettings = nullptr;
  if (!settings.Confirmed()) return;
  if (GameProfile* profile = panel.profiles.CurrentProfile()) panel.profiles.StoreIntoProfile(profile);
}
