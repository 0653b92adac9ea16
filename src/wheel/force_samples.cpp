#include "wheel/force_samples.h"

#include <cstdio>

void SampleRing::Push(uint32_t timeMs, int32_t value) {
  // A time that went backwards would break the binary search: held at the last.
  if (const TimedValue* last = Last()) {
    if (timeMs < last->timeMs) timeMs = last->timeMs;
  }
  if (count_ < capacity_) {
    items_[(first_ + count_++) % capacity_] = TimedValue{timeMs, value};
  } else {
    items_[first_] = TimedValue{timeMs, value};
    first_ = (first_ + 1) % capacity_;
  }
}

int SampleRing::FirstAtOrAfter(uint32_t timeMs) const {
  int low = 0, high = count_;
  while (low < high) {
    const int mid = low + (high - low) / 2;
    if (At(mid).timeMs < timeMs) {
      low = mid + 1;
    } else {
      high = mid;
    }
  }
  return low;
}

void ForceSamples::AddError(uint32_t timeMs, uint8_t kind, int16_t value) {
  if (errorCount < kErrorCapacity) {
    errors[(errorFirst + errorCount++) % kErrorCapacity] = ErrorMark{timeMs, kind, value};
  } else {
    errors[errorFirst] = ErrorMark{timeMs, kind, value};
    errorFirst = (errorFirst + 1) % kErrorCapacity;
  }
}

void ForceSamples::Clear() {
  torque.Clear();
  axis.Clear();
  current.Clear();
  errorFirst = errorCount = 0;
}

uint32_t ForceSamples::LastTimeMs() const {
  uint32_t last = 0;
  for (const SampleRing* ring : {&torque, &axis, &current}) {
    if (ring->Last() && ring->Last()->timeMs > last) last = ring->Last()->timeMs;
  }
  if (errorCount && Error(errorCount - 1).timeMs > last) last = Error(errorCount - 1).timeMs;
  return last;
}

uint32_t ReportTimeMs(uint32_t previousMs, uint32_t nowMs, int index, int count) {
  if (count <= 0 || nowMs <= previousMs) return nowMs;
  return previousMs + static_cast<uint32_t>(static_cast<uint64_t>(nowMs - previousMs) * (index + 1) / count);
}

double ClippingShare(const SampleRing& torque, uint32_t endMs, uint32_t spanMs) {
  const uint32_t from = endMs > spanMs ? endMs - spanMs + 1 : 0;
  int total = 0, clipped = 0;
  for (int i = torque.FirstAtOrAfter(from); i < torque.Count() && torque.At(i).timeMs <= endMs; ++i) {
    ++total;
    if (IsClippedTorque(torque.At(i).value)) ++clipped;
  }
  return total ? 100.0 * clipped / total : -1.0;
}

std::string ClippingText(double share) {
  if (share < 0) return "Clipping: ---";
  char text[32];
  std::snprintf(text, sizeof text, "Clipping: %.1f %%", share);
  return text;
}

int TimeToX(uint32_t timeMs, uint32_t endMs, uint32_t spanMs, int left, int width) {
  if (spanMs == 0) return left + width;
  const int64_t age = static_cast<int64_t>(endMs) - timeMs;  // may be negative for a time past the end
  return left + width - static_cast<int>(age * width / static_cast<int64_t>(spanMs));
}

int TimeColumns::X(uint32_t timeMs) {
  const int64_t age = static_cast<int64_t>(endMs_) - timeMs;
  if (age >= lowAge_ && age < endAge_) return x_;
  x_ = TimeToX(timeMs, endMs_, spanMs_, left_, width_);
  if (age < 0 || spanMs_ == 0 || width_ <= 0) {
    lowAge_ = 1;  // nothing kept: those times are rare and TimeToX is exact
    endAge_ = 0;
    return x_;
  }
  // TimeToX gives the same column to every age whose age * width / span
  // rounds down alike: from ceil(column * span / width) up to the next one.
  const int64_t column = age * width_ / spanMs_;
  lowAge_ = (column * spanMs_ + width_ - 1) / width_;
  endAge_ = ((column + 1) * spanMs_ + width_ - 1) / width_;
  return x_;
}

namespace {

// value / scale of the half-height, with full scale at 80 % of it.
int ScaleToY(int64_t value, int64_t scale, int top, int height) {
  const int64_t half = height / 2;
  if (value > scale) value = scale;
  if (value < -scale) value = -scale;
  return top + static_cast<int>(half - value * half * 8 / (10 * scale));
}

}  // namespace

int TorqueToY(int32_t value, int top, int height) { return ScaleToY(value, kTorqueFullScale, top, height); }
int AxisToY(int32_t value, int top, int height) { return ScaleToY(int64_t{value} - 32768, 32768, top, height); }
int CurrentToY(int32_t milliamps, int32_t fullScaleMa, int top, int height) {
  return ScaleToY(milliamps, fullScaleMa > 0 ? fullScaleMa : 1, top, height);
}

std::string ForceCsv(const ForceSamples& samples, bool withCurrent) {
  std::string out = withCurrent ? "time_ms,torque,steering_axis,drive_current_a,error_kind,error_value\r\n"
                                : "time_ms,torque,steering_axis,error_kind,error_value\r\n";
  const SampleRing* rings[] = {&samples.torque, &samples.axis, &samples.current};
  const int ringCount = withCurrent ? 3 : 2;
  int next[3] = {0, 0, 0};
  int nextError = 0;
  char field[48];
  for (;;) {
    // The earliest time still to write over every series.
    bool any = false;
    uint32_t t = 0;
    for (int r = 0; r < ringCount; ++r) {
      if (next[r] < rings[r]->Count() && (!any || rings[r]->At(next[r]).timeMs < t)) {
        t = rings[r]->At(next[r]).timeMs;
        any = true;
      }
    }
    if (nextError < samples.errorCount && (!any || samples.Error(nextError).timeMs < t)) {
      t = samples.Error(nextError).timeMs;
      any = true;
    }
    if (!any) break;
    std::snprintf(field, sizeof field, "%u", t);
    out += field;
    // Several samples of one series at one time (reports of one tick can
    // share a millisecond) each get a row of their own.
    for (int r = 0; r < ringCount; ++r) {
      out += ',';
      if (next[r] < rings[r]->Count() && rings[r]->At(next[r]).timeMs == t) {
        const int32_t v = rings[r]->At(next[r]++).value;
        if (r == 2) {
          std::snprintf(field, sizeof field, "%.3f", v / 1000.0);
        } else {
          std::snprintf(field, sizeof field, "%d", v);
        }
        out += field;
      }
    }
    if (nextError < samples.errorCount && samples.Error(nextError).timeMs == t) {
      const ErrorMark& e = samples.Error(nextError++);
      std::snprintf(field, sizeof field, ",%u,%d", e.kind, e.value);
      out += field;
    } else {
      out += ",,";
    }
    out += "\r\n";
  }
  return out;
}
