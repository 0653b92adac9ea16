#pragma once
// The board's asynchronous "#" reports while its debug level is above 0:
// the bytes split into reports (they may arrive in pieces, across ticks),
// and the once-a-second summary that Log.txt gets instead of a line per
// report. The link takes every waiting report each tick (WheelLink::
// ReadBoardReports); whoever wants the values (the Live Forces window) gets
// them through a ReportSink.
#include <cstdint>

struct BoardReport {
  uint8_t kind;   // 0 "Torque", 1 "Create Effect", 2 and above "Error"
  uint8_t small;  // r1, unsigned
  int16_t value;  // r2 r3, big-endian on the wire
};

constexpr uint8_t kReportTorque = 0;
constexpr uint8_t kReportFirstError = 2;
constexpr int32_t kTorqueFullScale = 32767;
inline bool IsClippedTorque(int32_t value) { return value >= kTorqueFullScale || value <= -kTorqueFullScale; }

// One tick never spends longer than this on the reports; what is left waits
// for the next tick (at 1000 reports a second a tick finds about 33).
constexpr uint64_t kReportBudgetUs = 5000;
constexpr uint64_t kReportSummaryMs = 1000;
// Error reports each get a line, but a board that sends nothing else cannot
// fill the log: beyond these a second they are only counted.
constexpr uint32_t kErrorLinesPerSecond = 10;

class BoardReportParser {
 public:
  // Splits bytes into reports, at most maxReports of them in out; returns
  // how many. A byte outside a report other than "#" counts as garbage.
  // Bytes after the maxReports-th report are kept for the next call.
  int Feed(const uint8_t* bytes, uint32_t count, BoardReport* out, int maxReports, uint32_t* used);
  uint32_t TakeGarbage() {
    const uint32_t g = garbage_;
    garbage_ = 0;
    return g;
  }
  void Reset() {
    have_ = -1;
    garbage_ = 0;
  }

 private:
  int have_ = -1;  // -1: waiting for "#"; otherwise report bytes collected
  uint8_t bytes_[4] = {};
  uint32_t garbage_ = 0;
};

class ReportSink {
 public:
  virtual ~ReportSink() = default;
  // The reports one tick took, in arrival order, and the garbage bytes among them.
  virtual void TakeReports(const BoardReport* reports, int count, uint32_t garbage) = 0;
};

// Log.txt's view of the reports: the errors (within their limit) at once,
// everything else as one line a second while reports flow.
class ReportSummary {
 public:
  void Add(const BoardReport& report, uint64_t nowMs);
  void AddGarbage(uint32_t bytes, uint64_t nowMs);
  // Writes the line when a second has passed since the last one and something came.
  void Flush(uint64_t nowMs);

 private:
  uint64_t since_ = 0;
  bool started_ = false;
  uint32_t count_ = 0, torque_ = 0, clipped_ = 0, errors_ = 0, errorLines_ = 0, garbage_ = 0;
  int32_t minimum_ = 0, maximum_ = 0;
};
