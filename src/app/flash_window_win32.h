#pragma once
// The "Firmware Update" window: a small modeless dialog over the frame with
// the stage in words, a progress bar and a Cancel button that works only
// before anything was touched. While it is up the frame takes no input but
// keeps answering; the flash itself runs from the tick.
#include <windows.h>

#include "update/flash_view.h"

class FlashProgressWindow : public FlashView {
 public:
  HINSTANCE instance = nullptr;
  HWND owner = nullptr;  // the frame window

  void ShowFlash(FlashStage stage, int percent, bool mayCancel) override;
  void EndFlash() override;

 private:
  HWND window_ = nullptr;
};
