#include <gtest/gtest.h>

#include <string>

#include "app/app_tick.h"

namespace {

// Records the order of the steps of each tick.
std::string gTrace;
void Status() { gTrace += "S"; }
void Current() { gTrace += "C"; }
void Detect() { gTrace += "G"; }
void Report() { gTrace += "#"; }
int Input() {
  gTrace += "I";
  return 0;
}

TickHooks AllHooks() {
  TickHooks hooks;
  hooks.statusRefresh = Status;
  hooks.currentReadout = Current;
  hooks.gameDetection = Detect;
  hooks.boardReport = Report;
  hooks.readGamingInput = Input;
  hooks.liveForces = [] { gTrace += "L"; };
  return hooks;
}

std::string Tick(TickTimes* times, uint64_t now, bool hold, bool dev) {
  gTrace.clear();
  RunTick(times, AllHooks(), now, hold, dev);
  return gTrace;
}

TEST(ApplicationTick, FirstTickRunsEveryStepInOrder) {
  TickTimes times;
  EXPECT_EQ(Tick(&times, 100000, false, true), "SCG#IL");
  EXPECT_EQ(times.lastStatusRefresh, 100000u);
  EXPECT_EQ(times.lastCurrentReadout, 100000u);
  EXPECT_EQ(times.lastGameDetection, 100000u);
}

TEST(ApplicationTick, IntervalsAreStrictlyLonger) {
  TickTimes times;
  Tick(&times, 50000, false, true);
  struct Step {
    uint64_t after;
    const char* expected;
  };
  // Times relative to the first tick; each row is one tick in sequence.
  const Step steps[] = {
      {33, "#IL"},       {100, "#IL"},     {101, "C#IL"},    {201, "#IL"},    {202, "C#IL"},
      {1000, "C#IL"},    {1001, "S#IL"},   {1102, "C#IL"},   {2000, "C#IL"},  {2001, "G#IL"},
      {2101, "SC#IL"},   {2201, "#IL"},    {2202, "C#IL"},   {4002, "SCG#IL"},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(Tick(&times, 50000 + step.after, false, true), step.expected) << step.after;
  }
}

TEST(ApplicationTick, HoldStopsStatusAndCurrentButNotDetection) {
  TickTimes times;
  EXPECT_EQ(Tick(&times, 10000, true, true), "G#IL");
  EXPECT_EQ(times.lastStatusRefresh, 0u);  // nothing ran, nothing is postponed
  EXPECT_EQ(Tick(&times, 12001, true, true), "G#IL");
  // Released: status and current run at once, detection keeps its own rhythm.
  EXPECT_EQ(Tick(&times, 12034, false, true), "SC#IL");
}

TEST(ApplicationTick, CurrentReadoutOnlyInDeveloperMode) {
  TickTimes times;
  EXPECT_EQ(Tick(&times, 10000, false, false), "SG#IL");
  EXPECT_EQ(Tick(&times, 10500, false, false), "#IL");
  EXPECT_EQ(times.lastCurrentReadout, 0u);
}

TEST(ApplicationTick, MissedIntervalsAreNotCaughtUp) {
  TickTimes times;
  Tick(&times, 10000, false, false);
  EXPECT_EQ(Tick(&times, 15000, false, false), "SG#IL");  // one refresh for five seconds
  EXPECT_EQ(Tick(&times, 15033, false, false), "#IL");
}

TEST(ApplicationTick, MissingStepsAreSkippedAndInputDecidesTheResult) {
  TickTimes times;
  TickHooks none;
  EXPECT_EQ(RunTick(&times, none, 10000, false, true), 0);
  EXPECT_EQ(times.lastStatusRefresh, 10000u);
  TickHooks input;
  input.readGamingInput = [] { return 7; };
  EXPECT_EQ(RunTick(&times, input, 10033, false, true), 7);
}

}  // namespace

namespace {

bool gFlashing = false;
bool FlashStep() {
  gTrace += "F";
  return gFlashing;
}

TEST(ApplicationTick, AFlashHoldsOffStatusCurrentAndDetection) {
  TickTimes times;
  TickHooks hooks = AllHooks();
  hooks.flashStep = FlashStep;
  gFlashing = true;
  gTrace.clear();
  RunTick(&times, hooks, 10000, false, true);
  EXPECT_EQ(gTrace, "F#IL") << "the flash goes first; the board's reports and the controller go on";
  gFlashing = false;
  gTrace.clear();
  RunTick(&times, hooks, 10033, false, true);
  EXPECT_EQ(gTrace, "FSCG#IL") << "once it has ended everything runs at once";
}

}  // namespace
