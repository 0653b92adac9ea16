#include "wheel/force_graph.h"

#include <cstdio>
#include <cstring>

namespace {

ForceShape* Add(ForceGraph* g, ForceShapeKind kind, uint32_t colour, int l, int t, int r, int b) {
  if (g->shapeCount >= kMaxForceShapes) return nullptr;
  ForceShape* s = &g->shapes[g->shapeCount++];
  *s = ForceShape{kind, false, colour, l, t, r, b, 0, 0, {0}};
  return s;
}

ForceShape* AddText(ForceGraph* g, uint32_t colour, int x, int y, const char* text) {
  ForceShape* s = Add(g, ForceShapeKind::kText, colour, x, y, x, y);
  if (s) std::snprintf(s->text, sizeof s->text, "%s", text);
  return s;
}

void Backdrop(ForceShape* s) {
  if (s) s->backdrop = true;
}

// One series as a polyline: per pixel column its lowest and highest point,
// so 30000 samples cost no more than the columns they fall in.
template <typename ToY>
int AddSeries(ForceGraph* g, const SampleRing& ring, const ForceGraphInputs& in, uint32_t colour, ToY toY) {
  const uint32_t from = in.endMs > in.spanMs ? in.endMs - in.spanMs : 0;
  int i = ring.FirstAtOrAfter(from);
  // The sample before the span starts the line at the left edge.
  if (i > 0) --i;
  if (i >= ring.Count()) return -1;
  const int first = g->pointCount;
  int column = 0, low = 0, high = 0, lastY = 0;
  bool open = false;
  auto emit = [&](int x) {
    if (g->pointCount + 2 > kMaxForcePoints) return;
    g->points[g->pointCount++] = ForcePoint{x, high};
    if (low != high) g->points[g->pointCount++] = ForcePoint{x, low};
  };
  TimeColumns columns(in.endMs, in.spanMs, g->plotLeft, g->plotWidth);
  for (; i < ring.Count(); ++i) {
    const TimedValue& sample = ring.At(i);
    if (sample.timeMs > in.endMs) break;
    int x = columns.X(sample.timeMs);
    if (x < g->plotLeft) x = g->plotLeft;
    const int y = toY(sample.value);
    if (open && x == column) {
      if (y < high) high = y;
      if (y > low) low = y;
      lastY = y;
      continue;
    }
    if (open) emit(column);
    column = x;
    low = high = lastY = y;
    open = true;
  }
  if (!open) return -1;
  emit(column);
  // The last value holds until the right edge.
  if (column < g->plotLeft + g->plotWidth && g->pointCount < kMaxForcePoints) {
    g->points[g->pointCount++] = ForcePoint{g->plotLeft + g->plotWidth, lastY};
  }
  ForceShape* s = Add(g, ForceShapeKind::kPolyline, colour, 0, 0, 0, 0);
  if (!s) return -1;
  s->firstPoint = first;
  s->pointCount = g->pointCount - first;
  return g->shapeCount - 1;
}

void AddClipBands(ForceGraph* g, const SampleRing& torque, const ForceGraphInputs& in) {
  const uint32_t from = in.endMs > in.spanMs ? in.endMs - in.spanMs : 0;
  int runStart = -1, runEnd = -1;
  auto band = [&] {
    if (runStart < 0) return;
    if (Add(g, ForceShapeKind::kFill, kForceClipBand, runStart, g->plotTop + 1, runEnd + 1,
            g->plotTop + g->plotHeight - 1)) {
      ++g->clipBands;
    }
    runStart = -1;
  };
  TimeColumns columns(in.endMs, in.spanMs, g->plotLeft, g->plotWidth);
  for (int i = torque.FirstAtOrAfter(from); i < torque.Count(); ++i) {
    const TimedValue& sample = torque.At(i);
    if (sample.timeMs > in.endMs) break;
    if (!IsClippedTorque(sample.value)) {
      band();
      continue;
    }
    const int x = columns.X(sample.timeMs);
    if (runStart < 0) runStart = x;
    runEnd = x;
  }
  band();
}

}  // namespace

void BuildForceGraph(const ForceSamples& samples, const ForceGraphInputs& in, ForceGraph* g) {
  g->shapeCount = g->pointCount = 0;
  g->torqueLine = -1;
  g->clipBands = g->errorMarks = 0;
  const int width = in.width < kMaxGraphWidth ? in.width : kMaxGraphWidth;
  const int text = in.textHeight > 0 ? in.textHeight : 13;
  Backdrop(Add(g, ForceShapeKind::kFill, kForceBackground, 0, 0, width, in.height));
  // Legend above the plot, time labels and error values below it.
  g->plotLeft = 4;
  g->plotTop = text + 6;
  g->plotWidth = width - 8;
  g->plotHeight = in.height - g->plotTop - 2 * text - 6;
  if (g->plotWidth < 10 || g->plotHeight < 10) return;
  const int left = g->plotLeft, top = g->plotTop, right = left + g->plotWidth, bottom = top + g->plotHeight;

  AddClipBands(g, samples.torque, in);
  // Seconds, or five of them on the longest span.
  const uint32_t step = in.spanMs > 10000 ? 5000 : (in.spanMs > 2000 ? 1000 : 500);
  for (uint32_t age = 0; age <= in.spanMs; age += step) {
    const int x = TimeToX(in.endMs - (age <= in.endMs ? age : in.endMs), in.endMs, in.spanMs, left, g->plotWidth);
    if (age > in.endMs) break;
    Backdrop(Add(g, ForceShapeKind::kLine, kForceGrid, x, top, x, bottom));
    char label[16];
    if (age == 0) {
      std::snprintf(label, sizeof label, "now");
    } else {
      std::snprintf(label, sizeof label, "-%u%s s", age / 1000, age % 1000 ? ".5" : "");
    }
    Backdrop(AddText(g, kForceText, x + 2 < right - 4 * text ? x + 2 : right - 4 * text, bottom + 2, label));
  }
  const int zero = TorqueToY(0, top, g->plotHeight);
  Add(g, ForceShapeKind::kLine, kForceGrid, left, zero, right, zero);
  for (int32_t full : {kTorqueFullScale, -kTorqueFullScale}) {
    const int y = TorqueToY(full, top, g->plotHeight);
    Add(g, ForceShapeKind::kLine, kForceClipBand, left, y, right, y);
  }

  AddSeries(g, samples.axis, in, kForceAxis, [&](int32_t v) { return AxisToY(v, top, g->plotHeight); });
  int32_t currentScale = 1000;  // 1 A at least, else the largest held, in whole amperes
  if (in.withCurrent) {
    for (int i = 0; i < samples.current.Count(); ++i) {
      const int32_t m = samples.current.At(i).value < 0 ? -samples.current.At(i).value : samples.current.At(i).value;
      if (m > currentScale) currentScale = (m + 999) / 1000 * 1000;
    }
    AddSeries(g, samples.current, in, kForceCurrent,
              [&](int32_t v) { return CurrentToY(v, currentScale, top, g->plotHeight); });
  }
  g->torqueLine =
      AddSeries(g, samples.torque, in, kForceTorque, [&](int32_t v) { return TorqueToY(v, top, g->plotHeight); });

  // Errors: a mark across the time axis and the value below it.
  const uint32_t from = in.endMs > in.spanMs ? in.endMs - in.spanMs : 0;
  for (int i = 0; i < samples.errorCount; ++i) {
    const ErrorMark& e = samples.Error(i);
    if (e.timeMs < from || e.timeMs > in.endMs) continue;
    const int x = TimeToX(e.timeMs, in.endMs, in.spanMs, left, g->plotWidth);
    if (!Add(g, ForceShapeKind::kLine, kForceError, x, bottom - text / 2, x, bottom + text / 2)) break;
    char label[16];
    std::snprintf(label, sizeof label, "E%u:%d", e.kind, e.value);
    AddText(g, kForceError, x + 2, bottom + text + 2, label);
    ++g->errorMarks;
  }

  // The frame over the bands, then the legend.
  Add(g, ForceShapeKind::kLine, kForceFrame, left, top, right, top);
  Add(g, ForceShapeKind::kLine, kForceFrame, right, top, right, bottom);
  Add(g, ForceShapeKind::kLine, kForceFrame, right, bottom, left, bottom);
  Add(g, ForceShapeKind::kLine, kForceFrame, left, bottom, left, top);
  struct Entry {
    uint32_t colour;
    char name[32];
  } legend[3] = {{kForceTorque, "Torque"}, {kForceAxis, "Steering axis"}, {kForceCurrent, ""}};
  std::snprintf(legend[2].name, sizeof legend[2].name, "Drive current (%d A)", currentScale / 1000);
  int x = left;
  for (int i = 0; i < (in.withCurrent ? 3 : 2); ++i) {
    Backdrop(Add(g, ForceShapeKind::kFill, legend[i].colour, x, 3 + text / 2 - 1, x + 2 * text, 3 + text / 2 + 2));
    Backdrop(AddText(g, kForceText, x + 2 * text + 4, 3, legend[i].name));
    x += 2 * text + 8 + static_cast<int>(std::strlen(legend[i].name)) * text * 6 / 10;
  }
  if (in.notice) AddText(g, kForceError, left + 8, top + 4, in.notice);
}
