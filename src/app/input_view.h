#pragma once
// What the game-controller input shows: list 1042 on the main page, the
// strip's "Wheel State" label/value pairs (developer mode) and the wheel-state
// picture on the main page.
#include "input/gaming_input.h"

class DialogControls;

class InputView : public GamingInputView {
 public:
  DialogControls* page = nullptr;          // null until the main page exists
  DialogControls* strip = nullptr;         // null until the strip exists (and outside developer mode)
  WheelStateRenderer* picture = nullptr;   // null: the picture is not drawn

  bool ShowsReadout() override { return strip != nullptr; }
  void EnableInputObject(int object, bool enabled) override;
  void ShowInputValue(int object, const char* text) override;
  void ShowWheelState(const WheelStatePicture& shapes, const PictureRect& changed) override;
  void ShowGamingDevices(const GamingDeviceTable& table, int selected) override;
};
