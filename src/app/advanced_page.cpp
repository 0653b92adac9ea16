#include "app/advanced_page.h"

#include "app/control_panel.h"
#include "drive/advanced_settings.h"
#include "drive/game_controller.h"

namespace {

// Until the game-controller input takes its place: no controller is active.
class NoGameController : public GameControllerAxes {
 public:
  uint32_t ObjectMask() override { return 0; }
  void ReadInput() override {}
  int32_t AxisValue(int) override { return 0; }
};

void (*gRunner)(AdvancedSettings& settings, DialogControls& owner) = nullptr;

}  // namespace

void SetAdvancedSettingsRunner(void (*run)(AdvancedSettings& settings, DialogControls& owner)) { gRunner = run; }

GameControllerAxes& PanelGameController(ControlPanel&) {
  static NoGameController none;
  return none;
}

void OpenAdvancedSettings(ControlPanel& panel, DialogControls& page) {
  AdvancedSettings settings(panel.link, panel.drive, PanelGameController(panel));
  settings.runDialog = gRunner;
  ShowAdvancedSettings(settings, page);
  if (!settings.Confirmed()) return;
  if (GameProfile* profile = panel.profiles.CurrentProfile()) panel.profiles.StoreIntoProfile(profile);
}
