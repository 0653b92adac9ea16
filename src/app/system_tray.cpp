#include "app/system_tray.h"

#include "exec/log.h"
#include "exec/os.h"

namespace {

constexpr const char kModule[] = "SystemTray";

// The box shows the condition itself, not the runtime's usual "FALSE".
void TrayAssert(int line, const char* condition) {
  if (AssertBox(kModule, line, condition, "Error")) os::BreakIntoDebugger();
  LogPrintf(0, "%s", "Error");
}

}  // namespace

void CheckTrayCreateArguments(uint32_t callbackMessage, size_t tooltipLength, int maxTooltipLength) {
  if (callbackMessage < kFirstAppMessage) TrayAssert(245, "uCallbackMessage >= WM_APP");
  if (maxTooltipLength < 0 || tooltipLength > static_cast<size_t>(maxTooltipLength)) {
    TrayAssert(249, "_tcslen(szToolTip) <= m_nMaxTooltipLength");
  }
}

FrameShow FrameShowFor(uint32_t hiddenToTray, bool iconInTray) {
  if (hiddenToTray == 0) return FrameShow::kShowNormal;
  return iconInTray ? FrameShow::kHide : FrameShow::kLeaveMinimised;
}
