#pragma once
// The application tick: everything periodic runs from the frame window's 33 ms
// timer, in a fixed order, on the user-interface thread.
#include <cstdint>

// The steps of one tick. Each subsystem plugs its step in here at start-up; a
// null step is skipped (readGamingInput null counts as result 0).
struct TickHooks {
  bool (*flashStep)() = nullptr;       // a firmware update's step; true while one runs
  void (*statusRefresh)() = nullptr;   // wheel status refresh, > 1000 ms apart
  void (*currentReadout)() = nullptr;  // drive current readout, developer mode, > 100 ms apart
  void (*updateCheck)() = nullptr;     // a fetched update check's offers, every tick off hold
  void (*gameDetection)() = nullptr;   // game detection, > 2000 ms apart, even on hold
  void (*handshake)() = nullptr;       // the status refresh's handshake takes its reply, every tick
  void (*boardReport)() = nullptr;     // the waiting "#" reports, every tick
  int (*readGamingInput)() = nullptr;  // game-controller readout, every tick
  void (*liveForces)() = nullptr;      // the Live Forces window's samples and picture, every tick
  void (*saveChanges)(uint64_t now) = nullptr;  // the settings files, every tick, even on hold
};

// Millisecond tick counts of the last runs; 0 at start, so the first tick runs all.
struct TickTimes {
  uint64_t lastStatusRefresh = 0;
  uint64_t lastCurrentReadout = 0;
  uint64_t lastGameDetection = 0;
};

constexpr uint64_t kStatusRefreshIntervalMs = 1000;
constexpr uint64_t kCurrentReadoutIntervalMs = 100;
constexpr uint64_t kGameDetectionIntervalMs = 2000;

// One tick at time now. While a firmware update runs (flashStep true) the
// status refresh, the drive readout and game detection hold off: the board
// is away and no profile may be written to it. Intervals are strict: a step runs at the first tick
// more than its interval after its previous run; missed intervals are not
// caught up. Returns the game-controller readout's result.
int RunTick(TickTimes* times, const TickHooks& hooks, uint64_t now, bool statusHold,
            bool developerMode);

// The program's hooks and the tick the frame window's timer calls (uses the
// millisecond tick, the ControlPanel's status hold flag and developer mode).
TickHooks& ApplicationTickHooks();
int ApplicationTick();
