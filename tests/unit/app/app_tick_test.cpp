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
  return hooks;
}

std::string Tick(TickTimes* times, uint64_t now, bool hold, bool dev) {
  gTrace.clear();
  RunTick(times, AllHooks(), now, hold, dev);
  return gTrace;
}

TEST(ApplicationTick, FirstTickRunsEveryStepInOrder) {
  TickTimes times;
  EXPECT_EQ(Tick(&times, 100000, false, true), "SCG#I");
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
      {33, "#I"},       {100, "#I"},     {101, "C#I"},    {201, "#I"},    {202, "C#I"},
      {1000, "C#I"},    {1001, "S#I"},   {1102, "C#I"},   {2000, "C#I"},  {2001, "G#I"},
      {2101, "SC#I"},   {2201, "#I"},    {2202, "C#I"},   {4002, "SCG#I"},
  };
  for (const Step& step : steps) {
    EXPECT_EQ(Tick(&times, 50000 + step.after, false, true), step.expected) << step.after;
  }
}

TEST(ApplicationTick, HoldStopsStatusAndCurrentButNotDetection) {
  TickTimes times;
  EXPECT_EQ(Tick(&times, 10000, true, true), "G#I");
  EXPECT_EQ(times.lastStatusRefresh, 0u);  // nothing ran, nothing is postponed
  EXPECT_EQ(Tick(&times, 12001, true, true), "G#I");
  // Released: status and current run at once, detection keeps its own rhythm.
  EXPECT_EQ(Tick(&times, 12034, false, true), "SC#I");
}

TEST(ApplicationTick, CurrentReadoutOnlyInDeveloperMode) {
  TickTimes times;
  EXPECT_EQ(Tick(&times, 10000, false, false), "SG#I");
  EXPECT_EQ(Tick(&times, 10500, false, false), "#I");
  EXPECT_EQ(times.lastCurrentReadout, 0u);
}

TEST(ApplicationTick, MissedIntervalsAreNotCaughtUp) {
  TickTimes times;
  Tick(&times, 10000, false, false);
  EXPECT_EQ(Tick(&times, 15000, false, false), "SG#I");  // one refresh for five seconds
  EXPECT_EQ(Tick(&times, 15033, false, false), "#I");
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
  EXPECT_EQ(gTrace, "F#I") << "the flash goes first; the board's reports and the controller go on";
  gFlashing = false;
  gTrace.clear();
  RunTick(&times, hooks, 10033, false, true);
  EXPECT_EQ(gTrace, "FSCG#I") << "once it has ended everything runs at once";
}

}  // namespace
