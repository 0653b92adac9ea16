#include "app/advanced_page.h"

#include "app/control_panel.h"
#include "app/control_tips.h"
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
  settings.addTooltips = [](DialogControls& dialog) { AddControlTips(dialog, TipPage::kAdvancedSettings); };
  panel.openAdvancedSettings = &settings;
  ShowAdvancedSettings(settings, page);
  panel.openAdvancedSettings = nullptr;
  if (settings.BoardWasReset()) panel.profiles.BoardReset();
  if (!settings.Confirmed()) return;
  // Of what the dialog writes only the encoder's direction is a profile's;
  // the rest of the page may be a reset's defaults, which the profile does
  // not take.
  if (GameProfile* profile = panel.profiles.CurrentProfile()) {
    const int32_t flags = panel.link[kEntryFlags].value;
    const uint8_t before = profile->optionFlags;
    profile->optionFlags = static_cast<uint8_t>((before & ~kEncoderInvertFlag) | (flags & kEncoderInvertFlag));
    if (profile->optionFlags != before) ++panel.profiles.changes;
  }
}
