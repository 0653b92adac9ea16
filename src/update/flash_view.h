#pragma once
// What a firmware update shows while it runs: a small window of its own with
// the stage in words and a progress bar. The program implements it with a
// modeless dialog ("Firmware Update"); tests record it.
#include <cstdint>

enum class FlashStage : uint8_t {
  kIdle,
  kDownloading,
  kChecking,
  kSaving,
  kResetting,
  kWaitingForBootloader,
  kWriting,
  kVerifying,
  kWaitingForBoard,
  kRestoring,
};

// The stage in words, as the window shows it.
const char* FlashStageText(FlashStage stage);
// While the board is being written it must stay plugged in; the window says
// so in place of a cancel button.
constexpr char kDoNotUnplug[] = "Do not unplug the wheel";

class FlashView {
 public:
  virtual ~FlashView() = default;
  // Opens the window on the first call and shows the stage and how far the
  // whole update has come (0..100). mayCancel: nothing has been touched yet.
  virtual void ShowFlash(FlashStage stage, int percent, bool mayCancel) = 0;
  // Closes the window.
  virtual void EndFlash() = 0;
};
