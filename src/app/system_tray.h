#pragma once
// The notification-area icon's rules that need no window: the checks its
// creation makes, the tooltip cut, and when the frame may leave the screen.
#include <cstddef>
#include <cstdint>

constexpr int kMaxTooltipLength = 128;   // characters the shell's record holds, NUL included
constexpr uint32_t kFirstAppMessage = 0x8000;  // WM_APP
constexpr uint32_t kTrayIconId = 131;
constexpr const wchar_t kTrayTooltip[] = L"Ostrel Device Config";

// The two checks of SystemTray::Create; each failure shows the runtime's
// assert box (file "SystemTray", lines 245 and 249) and logs "Error", and the
// creation goes on either way.
void CheckTrayCreateArguments(uint32_t callbackMessage, size_t tooltipLength, int maxTooltipLength);

// Copies text into a field of `capacity` characters: at most capacity - 1 of
// them and a terminating NUL, so a tooltip of exactly 128 shows 127. Returns
// the number of characters copied; capacity 0 copies nothing.
template <typename Char>
size_t CopyTooltip(Char* out, size_t capacity, const Char* text) {
  if (capacity == 0) return 0;
  size_t n = 0;
  while (text != nullptr && n + 1 < capacity && text[n] != 0) {
    out[n] = text[n];
    ++n;
  }
  out[n] = 0;
  return n;
}

// What the frame window does after the hidden-to-tray flag changed.
enum class FrameShow {
  kShowNormal,      // flag 0: shown again
  kHide,            // flag 1 and the icon really is in the notification area
  kLeaveMinimised,  // flag 1 but no icon: hiding would leave no way back
};
FrameShow FrameShowFor(uint32_t hiddenToTray, bool iconInTray);
