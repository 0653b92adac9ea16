#pragma once
// The Live Forces session behind its window: asks the board for its torque
// reports while the window is open (debug level 1 unless the user has set
// another) and puts the level back on close; takes every report into the
// sample rings together with the steering axis and, in developer mode, the
// drive current; decides when the graph is drawn again (new samples, at most
// every kForceFrameMs) and keeps the window's texts. No window here: the
// Windows side (live_forces_win32.cpp) shows it, tests drive it with fakes.
#include <cstdint>
#include <string>

#include "ui/dialog_controls.h"
#include "wheel/force_graph.h"
#include "wheel/force_samples.h"

class ControlPanel;

constexpr uint64_t kForceFrameMs = 33;        // at most 30 pictures a second
// ... and no more than it takes the graph to move by 1/150 of its width (a
// few pixels): 15 a second over 10 s, 5 over 30 s. Each picture is copied to
// the screen whole, the most costly step of it under Wine.
constexpr uint32_t kForceFrameParts = 150;
// The clipping and latest texts, twice a second: enough to read, and each
// change repaints its control through a window DC of its own.
constexpr uint64_t kForceTextMs = 500;
constexpr uint64_t kReportsSilentMs = 1500;   // no report for this long: "stopped"
constexpr int32_t kForcesDebugLevel = 1;

class LiveForcesWindow {
 public:
  virtual ~LiveForcesWindow() = default;
  virtual DialogControls& Controls() = 0;
  // Build the graph again and show it (off screen first).
  virtual void Redraw() = 0;
};

class LiveForces : public ReportSink {
 public:
  explicit LiveForces(ControlPanel& panel) : panel_(panel) {}
  ~LiveForces() override { Close(); }

  // false when the samples could not be allocated.
  bool Open(LiveForcesWindow* window);
  void Close();
  bool IsOpen() const { return samples_ != nullptr; }

  // Every application tick, after the reports were read.
  void Tick();
  void TakeReports(const BoardReport* reports, int count, uint32_t garbage) override;

  void SetSpan(int index);  // into kForceSpansMs
  void SetPaused(bool paused);
  bool Paused() const { return paused_; }
  // The CSV of what is held (empty when closed).
  std::string Csv() const;
  ForceGraphInputs GraphInputs(int width, int height, int textHeight) const;
  const ForceSamples* Samples() const { return samples_; }
  const char* StateText() const { return state_.c_str(); }
  bool WithCurrent() const;
  uint32_t FrameIntervalMs() const {
    return spanMs_ / kForceFrameParts > kForceFrameMs ? spanMs_ / kForceFrameParts : kForceFrameMs;
  }

 private:
  uint32_t NowMs() const;
  void AskForReports();
  void PutLevelBack(bool write);
  void UpdateState(uint32_t now);
  void ShowTexts();
  void SetText(int id, std::string* shown, const std::string& text);

  ControlPanel& panel_;
  LiveForcesWindow* window_ = nullptr;
  ForceSamples* samples_ = nullptr;
  uint64_t startUs_ = 0;
  bool asked_ = false;          // this window raised the debug level
  int32_t levelBefore_ = 0;     // what it was before
  bool reasking_ = false;       // the board went while asked: levelBefore_ stands
  uint32_t spanMs_ = kForceSpansMs[kDefaultSpanIndex];
  bool paused_ = false;
  uint32_t pausedEndMs_ = 0;
  uint32_t lastTickMs_ = 0;     // reports of a tick are spread back to here
  uint32_t lastReportMs_ = 0;   // 0: none since the reports were asked for
  uint32_t askedMs_ = 0;
  uint32_t secondStartMs_ = 0, secondReports_ = 0, secondGarbage_ = 0;
  uint32_t reportsPerSecond_ = 0, garbagePerSecond_ = 0;
  uint32_t drawnLastMs_ = 0;    // newest sample in the last picture
  uint32_t drawnAtMs_ = 0;
  bool drawn_ = false;
  uint32_t textsAtMs_ = 0;
  bool textsShown_ = false;
  bool textsDue_ = false;  // a picture was drawn since the texts were shown
  int32_t lastTorque_ = 0;
  bool haveTorque_ = false;
  uint32_t currentRing_ = 0;
  std::string state_, shownState_, shownClipping_, shownLatest_;
  std::string drawnState_;  // the notice of the last picture
};

// The window on top, opened when it is not (the Windows side; a no-op
// without windows).
void OpenLiveForcesWindow(ControlPanel& panel, void* owner);
