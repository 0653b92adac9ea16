// The "Advanced Settings" dialog (2123) on Win32: a modal dialog that only
// forwards to the portable logic in drive/advanced_settings.cpp.
#include "drive/advanced_settings.h"
#include "ui/modal_dialog_win32.h"

namespace {

class AdvancedSettingsDialog : public ModalDialog {
 public:
  explicit AdvancedSettingsDialog(AdvancedSettings& settings) : settings_(settings) {}

 private:
  INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM) override {
    switch (message) {
      case WM_INITDIALOG:
        settings_.Init(controls);
        return TRUE;
      case WM_COMMAND:
        // "Ok" (or Enter), "Cancel" (or Escape, or the close box) and every
        // list and button: the logic ends the dialog itself.
        settings_.Command(controls, LOWORD(wParam), HIWORD(wParam));
        return TRUE;
      default:
        return FALSE;
    }
  }
  AdvancedSettings& settings_;
};

}  // namespace

void RunAdvancedSettingsDialog(AdvancedSettings& settings, DialogControls& owner) {
  AdvancedSettingsDialog(settings).Run(IDD_ADVANCED_SETTINGS, owner);
}
