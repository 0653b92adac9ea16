#pragma once
// What the Live Forces window holds and shows, without any window: the
// samples of each series in time order (rings that drop the oldest), the
// share of clipped torque over a span, the placing of times and values in
// pixels, and the samples as CSV text.
#include <cstdint>
#include <string>

#include "wheel/board_reports.h"

struct TimedValue {
  uint32_t timeMs;  // since the window opened
  int32_t value;
};

// A ring over storage the owner gives; times never go backwards.
class SampleRing {
 public:
  SampleRing(TimedValue* storage, int capacity) : items_(storage), capacity_(capacity) {}
  void Push(uint32_t timeMs, int32_t value);
  void Clear() { count_ = 0; }
  int Count() const { return count_; }
  // i = 0 is the oldest sample held; i < Count(). No division: the graph
  // reads every sample of its span on every picture.
  const TimedValue& At(int i) const {
    const int k = first_ + i;
    return items_[k < capacity_ ? k : k - capacity_];
  }
  const TimedValue* Last() const { return count_ ? &At(count_ - 1) : nullptr; }
  // Index of the first sample at or after timeMs (Count() when none).
  int FirstAtOrAfter(uint32_t timeMs) const;

 private:
  TimedValue* items_;
  int capacity_;
  int first_ = 0, count_ = 0;
};

struct ErrorMark {
  uint32_t timeMs;
  uint8_t kind;
  int16_t value;
};

// The spans offered, and the longest one, which the rings hold.
constexpr uint32_t kForceSpansMs[] = {2000, 10000, 30000};
constexpr int kDefaultSpanIndex = 1;
// 30 s of a board that reports every millisecond, with room to spare.
constexpr int kTorqueCapacity = 32768;
constexpr int kAxisCapacity = 4096;     // one a tick at most
constexpr int kCurrentCapacity = 1024;  // one a 100 ms readout
constexpr int kErrorCapacity = 256;

struct ForceSamples {
  TimedValue torqueItems[kTorqueCapacity];
  TimedValue axisItems[kAxisCapacity];
  TimedValue currentItems[kCurrentCapacity];  // drive current in mA
  ErrorMark errors[kErrorCapacity];           // a ring too
  int errorFirst = 0, errorCount = 0;
  SampleRing torque{torqueItems, kTorqueCapacity};
  SampleRing axis{axisItems, kAxisCapacity};  // steering axis, 0..65535
  SampleRing current{currentItems, kCurrentCapacity};

  void AddError(uint32_t timeMs, uint8_t kind, int16_t value);
  const ErrorMark& Error(int i) const { return errors[(errorFirst + i) % kErrorCapacity]; }
  void Clear();
  // Newest time over all series; 0 when empty.
  uint32_t LastTimeMs() const;
};

// The reports one tick took carry no time of their own: they are spread
// evenly over (previousMs, nowMs], the last one at nowMs.
uint32_t ReportTimeMs(uint32_t previousMs, uint32_t nowMs, int index, int count);

// Share of clipped torque samples (|value| >= 32767) with times in
// (endMs - spanMs, endMs], in percent; -1 when there are none.
double ClippingShare(const SampleRing& torque, uint32_t endMs, uint32_t spanMs);
// "Clipping: 38.9 %", or "Clipping: ---" without samples.
std::string ClippingText(double share);

// Pixels: time endMs - spanMs at left, endMs at left + width; torque
// full scale (and the axis ends) at a tenth of the height inside the top and
// bottom, so the clipping shows as the trace flattening at a visible line.
int TimeToX(uint32_t timeMs, uint32_t endMs, uint32_t spanMs, int left, int width);
// The same pixels as TimeToX, with one division per pixel column instead of
// one per sample: it keeps the range of times that fall in the column last
// asked for (a series read in time order asks for each column many times).
class TimeColumns {
 public:
  TimeColumns(uint32_t endMs, uint32_t spanMs, int left, int width)
      : endMs_(endMs), spanMs_(spanMs), left_(left), width_(width) {}
  int X(uint32_t timeMs);

 private:
  uint32_t endMs_, spanMs_;
  int left_, width_;
  int64_t lowAge_ = 1, endAge_ = 0;  // ages (endMs - time) in [lowAge_, endAge_) give x_
  int x_ = 0;
};
int TorqueToY(int32_t value, int top, int height);
int AxisToY(int32_t value, int top, int height);  // 0..65535, 32768 in the middle
int CurrentToY(int32_t milliamps, int32_t fullScaleMa, int top, int height);

// The samples held as CSV: a header, then one row per time at which any
// series has a sample, in time order; a series without a sample at that
// time leaves its field empty. Columns: time in ms, torque, steering axis,
// drive current in A (only with withCurrent), error kind and value.
std::string ForceCsv(const ForceSamples& samples, bool withCurrent);
