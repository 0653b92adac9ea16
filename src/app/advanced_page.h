#pragma once
// The main page's "Advanced Settings" (2123): drive/'s dialog over the
// ControlPanel's wheel link, its drive link and the game controller.
class AdvancedSettings;
class ControlPanel;
class DialogControls;

// The modal dialog over the page (the page has checked that the wheel was
// found). After "Ok" the selected game profile takes the encoder's direction
// as it now is, as after the page's own "Invert" and "Manual": applying it
// later must not turn the encoder back. After "Reset to default" the page
// shows the board's defaults, and the profile keeps its values until the user
// changes something.
void OpenAdvancedSettings(ControlPanel& panel, DialogControls& page);
// Tests run the dialog their own way; null: the platform's dialog.
void SetAdvancedSettingsRunner(void (*run)(AdvancedSettings& settings, DialogControls& owner));

