#include "app/app_tick.h"

#include "app/control_panel.h"
#include "app/options.h"
#include "exec/os.h"

namespace {

bool Due(uint64_t* last, uint64_t now, uint64_t interval) {
  if (now - *last <= interval) return false;
  *last = now;
  return true;
}

TickTimes gTimes;
TickHooks gHooks;

}  // namespace

int RunTick(TickTimes* times, const TickHooks& hooks, uint64_t now, bool statusHold,
            bool developerMode) {
  // The hold flag keeps the board quiet while the pages are built and while a
  // command talks to it; game detection only looks at processes, so it goes on.
  const bool flashing = hooks.flashStep != nullptr && hooks.flashStep();
  if (!statusHold && !flashing) {
    if (Due(&times->lastStatusRefresh, now, kStatusRefreshIntervalMs) && hooks.statusRefresh) {
      hooks.statusRefresh();
    }
    if (developerMode && Due(&times->lastCurrentReadout, now, kCurrentReadoutIntervalMs) &&
        hooks.currentReadout) {
      hooks.currentReadout();
    }
    // The check's questions wait while a command, a dialog or a flash holds
    // the status, so they never pile onto another box.
    if (hooks.updateCheck) hooks.updateCheck();
  }
  if (!flashing && Due(&times->lastGameDetection, now, kGameDetectionIntervalMs) && hooks.gameDetection) {
    hooks.gameDetection();
  }
  // Only files: a command or a dialog that holds the board does not stop it.
  if (hooks.saveChanges) hooks.saveChanges(now);
  if (hooks.handshake) hooks.handshake();
  if (hooks.boardReport) hooks.boardReport();
  const int result = hooks.readGamingInput ? hooks.readGamingInput() : 0;
  if (hooks.liveForces) hooks.liveForces();
  return result;
}

TickHooks& ApplicationTickHooks() { return gHooks; }

int ApplicationTick() {
  return RunTick(&gTimes, gHooks, os::TickMs(), Panel().link.statusHold, DeveloperMode());
}
