#include "app/live_forces.h"

#include <cstdio>
#include <new>

#include "app/control_panel.h"
#include "app/live_forces_ids.h"
#include "app/options.h"
#include "exec/log.h"

namespace {

// kAmpsPerCurrentUnit (0.0018 A) in milliamperes.
int32_t CurrentMilliamps(int32_t raw) { return static_cast<int32_t>(raw * 18LL / 10); }

}  // namespace

uint32_t LiveForces::NowMs() const {
  return static_cast<uint32_t>((panel_.link.clock->NowUs() - startUs_) / 1000);
}

bool LiveForces::WithCurrent() const { return DeveloperMode() && panel_.drive.IsOpen(); }

bool LiveForces::Open(LiveForcesWindow* window) {
  if (IsOpen()) return true;
  samples_ = new (std::nothrow) ForceSamples;
  if (samples_ == nullptr) {
    LogPrintf(0, "LiveForces: no memory for the samples");
    return false;
  }
  window_ = window;
  startUs_ = panel_.link.clock->NowUs();
  lastTickMs_ = 0;
  drawn_ = false;
  textsShown_ = false;
  textsDue_ = false;
  paused_ = false;
  haveTorque_ = false;
  currentRing_ = panel_.drive.RingPosition();
  panel_.link.reportSink = this;
  AskForReports();
  Tick();
  return true;
}

void LiveForces::Close() {
  if (!IsOpen()) return;
  PutLevelBack(true);
  reasking_ = false;
  panel_.link.reportSink = nullptr;
  delete samples_;
  samples_ = nullptr;
  window_ = nullptr;
  state_.clear();
  shownState_.clear();
  shownClipping_.clear();
  shownLatest_.clear();
}

void LiveForces::AskForReports() {
  WheelLink& link = panel_.link;
  if (asked_ || link.linkState < kWheelFound || !link.channel->IsOpen()) return;
  WheelParameter& level = link[kEntryDebugLevel];
  // A board found again keeps the level from before it went.
  if (!reasking_) levelBefore_ = level.value;
  reasking_ = false;
  asked_ = true;
  askedMs_ = NowMs();
  lastReportMs_ = 0;
  // A level the user chose (above 0) reports already and stays.
  if (level.value > 0) return;
  level.value = kForcesDebugLevel;
  {
    StatusHold hold(link);
    link.WriteParameter(level);
  }
  if (link.view) link.view->ShowParameter(level);
  LogPrintf(0, "LiveForces: debug level %d asked for", kForcesDebugLevel);
}

void LiveForces::PutLevelBack(bool write) {
  if (!asked_) return;
  asked_ = false;
  WheelLink& link = panel_.link;
  WheelParameter& level = link[kEntryDebugLevel];
  if (level.value == levelBefore_) return;
  level.value = levelBefore_;
  // A board that is gone is not written to; the next read gives its level.
  if (write && link.channel->IsOpen() && link.linkState >= kWheelFound) {
    StatusHold hold(link);
    link.WriteParameter(level);
    LogPrintf(0, "LiveForces: debug level %d put back", levelBefore_);
  }
  if (link.view) link.view->ShowParameter(level);
}

void LiveForces::TakeReports(const BoardReport* reports, int count, uint32_t garbage) {
  if (!IsOpen()) return;
  const uint32_t now = NowMs();
  for (int i = 0; i < count; ++i) {
    const uint32_t t = ReportTimeMs(lastTickMs_, now, i, count);
    if (reports[i].kind == kReportTorque) {
      samples_->torque.Push(t, reports[i].value);
      lastTorque_ = reports[i].value;
      haveTorque_ = true;
    } else if (reports[i].kind >= kReportFirstError) {
      samples_->AddError(t, reports[i].kind, reports[i].value);
    }
  }
  if (count > 0) lastReportMs_ = now;
  secondReports_ += static_cast<uint32_t>(count);
  secondGarbage_ += garbage;
}

void LiveForces::UpdateState(uint32_t now) {
  if (now - secondStartMs_ >= 1000) {
    reportsPerSecond_ = secondReports_ * 1000 / (now - secondStartMs_);
    garbagePerSecond_ = secondGarbage_ * 1000 / (now - secondStartMs_);
    secondStartMs_ = now;
    secondReports_ = secondGarbage_ = 0;
  }
  WheelLink& link = panel_.link;
  char text[96];
  if (!link.channel->IsOpen() || link.linkState < kWheelFound) {
    state_ = "Stopped: the board is not connected";
  } else if (garbagePerSecond_ > reportsPerSecond_ * 5) {
    state_ = "Stopped: the board sends bytes that are no reports";
  } else if (now - (lastReportMs_ ? lastReportMs_ : askedMs_) >= kReportsSilentMs) {
    state_ = "Stopped: no reports from the board";
  } else {
    std::snprintf(text, sizeof text, "%u reports a second (debug level %d)", reportsPerSecond_,
                  link[kEntryDebugLevel].value);
    state_ = text;
  }
}

void LiveForces::Tick() {
  if (!IsOpen()) return;
  WheelLink& link = panel_.link;
  const uint32_t now = NowMs();
  // A board that went away lets its level go (the status refresh probes again
  // only at level 0); one that comes back is asked again.
  if (asked_ && (!link.channel->IsOpen() || link.linkState < kWheelFound)) {
    PutLevelBack(false);
    reasking_ = true;
  }
  if (!asked_) AskForReports();

  if (panel_.input.ActiveIndex() >= 0) {
    const int32_t axis = panel_.input.axisSnapshot[0];
    const TimedValue* last = samples_->axis.Last();
    if (last == nullptr || last->value != axis) samples_->axis.Push(now, axis);
  }
  if (WithCurrent() && panel_.drive.RingPosition() != currentRing_) {
    currentRing_ = panel_.drive.RingPosition();
    const uint32_t newest = (currentRing_ + kCurrentSampleCount - 1) % kCurrentSampleCount;
    samples_->current.Push(now, CurrentMilliamps(panel_.drive.Sample(static_cast<int>(newest))));
  }
  lastTickMs_ = now;
  UpdateState(now);

  if (window_ == nullptr) return;
  SetText(IDC_FORCES_STATE, &shownState_, state_);
  const uint32_t newest = samples_->LastTimeMs();
  // The picture shows the state only as its "Stopped: ..." notice.
  const char* notice = GraphInputs(0, 0, 0).notice;
  const std::string shownNotice = notice ? notice : "";
  const bool fresh = newest != drawnLastMs_ || shownNotice != drawnState_;
  if (!paused_ && (!drawn_ || (fresh && now - drawnAtMs_ >= FrameIntervalMs()))) {
    drawn_ = true;
    drawnAtMs_ = now;
    drawnLastMs_ = newest;
    drawnState_ = shownNotice;
    textsDue_ = true;
    window_->Redraw();
  }
  // Texts a few times a second are enough to read; each costs a trip
  // through the window system. The last values come once the flow stops.
  if (textsDue_ && (now - textsAtMs_ >= kForceTextMs || !textsShown_)) {
    textsAtMs_ = now;
    textsShown_ = true;
    textsDue_ = false;
    ShowTexts();
  }
}

void LiveForces::ShowTexts() {
  const ForceGraphInputs in = GraphInputs(0, 0, 0);
  SetText(IDC_FORCES_CLIPPING, &shownClipping_, ClippingText(ClippingShare(samples_->torque, in.endMs, spanMs_)));
  char text[128];
  int n = std::snprintf(text, sizeof text, "Torque: %s", haveTorque_ ? "" : "---");
  if (haveTorque_) n += std::snprintf(text + n, sizeof text - n, "%d", lastTorque_);
  if (const TimedValue* axis = samples_->axis.Last()) {
    n += std::snprintf(text + n, sizeof text - n, "   Steering axis: %d", axis->value);
  }
  if (WithCurrent()) {
    if (const TimedValue* current = samples_->current.Last()) {
      std::snprintf(text + n, sizeof text - n, "   Drive current: %.1f A", current->value / 1000.0);
    }
  }
  SetText(IDC_FORCES_LATEST, &shownLatest_, text);
}

void LiveForces::SetText(int id, std::string* shown, const std::string& text) {
  // Each change of a control costs a trip through the window system.
  if (*shown == text || window_ == nullptr) return;
  *shown = text;
  window_->Controls().SetItemText(id, text.c_str());
}

void LiveForces::SetSpan(int index) {
  if (index < 0 || index >= static_cast<int>(sizeof kForceSpansMs / sizeof kForceSpansMs[0])) return;
  spanMs_ = kForceSpansMs[index];
  if (IsOpen() && window_) {
    ShowTexts();
    window_->Redraw();
  }
}

void LiveForces::SetPaused(bool paused) {
  if (!IsOpen()) return;
  paused_ = paused;
  if (paused) pausedEndMs_ = samples_->LastTimeMs();
  drawn_ = paused;  // a resume draws at once
}

ForceGraphInputs LiveForces::GraphInputs(int width, int height, int textHeight) const {
  ForceGraphInputs in;
  in.width = width;
  in.height = height;
  in.textHeight = textHeight;
  in.spanMs = spanMs_;
  in.endMs = samples_ ? (paused_ ? pausedEndMs_ : samples_->LastTimeMs()) : 0;
  in.withCurrent = WithCurrent();
  in.notice = state_.rfind("Stopped", 0) == 0 ? state_.c_str() : nullptr;
  return in;
}

std::string LiveForces::Csv() const { return samples_ ? ForceCsv(*samples_, WithCurrent()) : std::string(); }
