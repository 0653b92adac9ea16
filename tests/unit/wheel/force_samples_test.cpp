// The Live Forces window's portable half: the rings, the clipping share,
// the placing in pixels, the CSV and the graph's shapes.
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "wheel/force_graph.h"
#include "wheel/force_samples.h"

namespace {

TEST(SampleRing, DropsTheOldestKeepsTimeOrderAndFindsByTime) {
  TimedValue storage[4];
  SampleRing ring(storage, 4);
  for (uint32_t t : {10u, 20u, 30u, 40u, 50u, 60u}) ring.Push(t, static_cast<int32_t>(t) * 2);
  ASSERT_EQ(ring.Count(), 4);
  EXPECT_EQ(ring.At(0).timeMs, 30u);
  EXPECT_EQ(ring.Last()->value, 120);
  EXPECT_EQ(ring.FirstAtOrAfter(0), 0);
  EXPECT_EQ(ring.FirstAtOrAfter(41), 2);
  EXPECT_EQ(ring.FirstAtOrAfter(61), 4);
  ring.Push(5, 1);  // a clock that stepped back is held at the last time
  EXPECT_EQ(ring.Last()->timeMs, 60u);
}

TEST(ForceSamples, ClippingShareOverTheSpanAndItsText) {
  auto samples = std::make_unique<ForceSamples>();
  // 1 s before the span: all clipped, not counted; then 10 in the span.
  samples->torque.Push(500, 32767);
  const int32_t inSpan[] = {0, 32767, -32767, -32768, 32766, 100, -100, 32767, 5, 6};
  for (int i = 0; i < 10; ++i) samples->torque.Push(2000 + i * 100, inSpan[i]);
  EXPECT_DOUBLE_EQ(ClippingShare(samples->torque, 2900, 1000), 40.0);
  EXPECT_EQ(ClippingText(ClippingShare(samples->torque, 2900, 1000)), "Clipping: 40.0 %");
  EXPECT_EQ(ClippingText(ClippingShare(samples->torque, 100000, 2000)), "Clipping: ---");
  EXPECT_EQ(ClippingText(38.94), "Clipping: 38.9 %");
}

TEST(ForceSamples, TimesAndValuesInPixels) {
  struct {
    uint32_t t, end, span;
    int x;
  } times[] = {{10000, 10000, 10000, 110}, {0, 10000, 10000, 10}, {5000, 10000, 10000, 60}, {9000, 10000, 2000, 60}};
  for (const auto& c : times) EXPECT_EQ(TimeToX(c.t, c.end, c.span, 10, 100), c.x) << c.t;
  // Height 200 from top 0: middle 100, full scale 80 pixels away.
  EXPECT_EQ(TorqueToY(0, 0, 200), 100);
  EXPECT_EQ(TorqueToY(32767, 0, 200), 20);
  EXPECT_EQ(TorqueToY(-32768, 0, 200), 180);
  EXPECT_EQ(AxisToY(0, 0, 200), 180);
  EXPECT_EQ(AxisToY(32768, 0, 200), 100);
  EXPECT_EQ(CurrentToY(-5000, 5000, 0, 200), 180);
  EXPECT_EQ(CurrentToY(9000, 5000, 0, 200), 20) << "beyond the scale stays at its line";
  EXPECT_EQ(ReportTimeMs(100, 133, 0, 3), 111u);
  EXPECT_EQ(ReportTimeMs(100, 133, 2, 3), 133u);
}

TEST(ForceSamples, TimeColumnsPlaceEveryTimeWhereTimeToXDoes) {
  // Spans wider and narrower than the plot, uneven ratios, times before the
  // span and after its end, read forwards and backwards.
  struct {
    uint32_t end, span;
    int left, width;
  } plots[] = {{10000, 10000, 4, 520}, {10000, 2000, 4, 520}, {31000, 30000, 0, 997},
               {700, 1000, 10, 3},     {5000, 7, 2, 640},      {100, 0, 4, 50}, {100, 100, 4, 0}};
  for (const auto& p : plots) {
    TimeColumns columns(p.end, p.span, p.left, p.width);
    const uint32_t first = p.end > p.span + 20 ? p.end - p.span - 20 : 0;
    for (uint32_t t = first; t <= p.end + 3; ++t) {
      ASSERT_EQ(columns.X(t), TimeToX(t, p.end, p.span, p.left, p.width)) << p.span << "/" << p.width << " at " << t;
    }
    for (uint32_t t = p.end + 3; t >= first && t <= p.end + 3; --t) {
      ASSERT_EQ(columns.X(t), TimeToX(t, p.end, p.span, p.left, p.width)) << p.span << "/" << p.width << " back at " << t;
    }
  }
}

TEST(ForceSamples, CsvHasOneRowPerTimeAndEmptyFieldsForMissingSeries) {
  auto samples = std::make_unique<ForceSamples>();
  samples->torque.Push(10, -5);
  samples->torque.Push(10, 7);
  samples->axis.Push(10, 32768);
  samples->current.Push(20, 1250);
  samples->AddError(30, 7, -2);
  EXPECT_EQ(ForceCsv(*samples, true),
            "time_ms,torque,steering_axis,drive_current_a,error_kind,error_value\r\n"
            "10,-5,32768,,,\r\n10,7,,,,\r\n20,,,1.250,,\r\n30,,,,7,-2\r\n");
  EXPECT_EQ(ForceCsv(*samples, false),
            "time_ms,torque,steering_axis,error_kind,error_value\r\n10,-5,32768,,\r\n10,7,,,\r\n30,,,7,-2\r\n");
}

TEST(ForceGraph, ManySamplesCostTwoPointsAColumnClipsAreBandsErrorsAreMarked) {
  auto samples = std::make_unique<ForceSamples>();
  // 10 s at 1000 reports a second: clipped from 4 s to 5 s.
  for (uint32_t t = 1; t <= 10000; ++t) {
    samples->torque.Push(t, t >= 4000 && t < 5000 ? 32767 : static_cast<int32_t>(t % 200) - 100);
  }
  samples->AddError(7500, 3, 42);
  ForceGraphInputs in;
  in.width = 408;
  in.height = 200;
  in.endMs = 10000;
  in.spanMs = 10000;
  auto graph = std::make_unique<ForceGraph>();
  BuildForceGraph(*samples, in, graph.get());
  ASSERT_GE(graph->torqueLine, 0);
  const ForceShape& line = graph->shapes[graph->torqueLine];
  EXPECT_LE(line.pointCount, 2 * (graph->plotWidth + 1) + 1);
  EXPECT_GT(line.pointCount, graph->plotWidth);
  EXPECT_EQ(graph->clipBands, 1);
  EXPECT_EQ(graph->errorMarks, 1);
  bool labelled = false;
  for (int i = 0; i < graph->shapeCount; ++i) {
    const ForceShape& s = graph->shapes[i];
    if (s.kind == ForceShapeKind::kFill && s.colour == kForceClipBand) {
      EXPECT_NEAR(s.left, TimeToX(4000, 10000, 10000, graph->plotLeft, graph->plotWidth), 1);
      EXPECT_NEAR(s.right, TimeToX(5000, 10000, 10000, graph->plotLeft, graph->plotWidth), 2);
    }
    if (s.kind == ForceShapeKind::kText && std::string(s.text) == "E3:42") labelled = true;
  }
  EXPECT_TRUE(labelled);
  // The 2 s span shows neither the clipped second nor the error.
  in.spanMs = 2000;
  BuildForceGraph(*samples, in, graph.get());
  EXPECT_EQ(graph->clipBands, 0);
  EXPECT_EQ(graph->errorMarks, 0);
}

TEST(BoardReportParser, ReportsInPiecesAndGarbageBetween) {
  BoardReportParser parser;
  BoardReport out[4];
  uint32_t used = 0;
  const uint8_t first[] = {'z', '#', 0x02, 0x09};
  EXPECT_EQ(parser.Feed(first, sizeof first, out, 4, &used), 0);
  const uint8_t second[] = {0x80, 0x01, '#', 0x00, 0x00, 0x00, 0x01, '#', 0x00};
  ASSERT_EQ(parser.Feed(second, sizeof second, out, 1, &used), 1);
  EXPECT_EQ(used, 2u) << "the rest waits for the next call";
  EXPECT_EQ(out[0].kind, 2);
  EXPECT_EQ(out[0].small, 9);
  EXPECT_EQ(out[0].value, -32767);
  EXPECT_EQ(parser.Feed(second + used, sizeof second - used, out, 4, &used), 1);
  EXPECT_EQ(out[0].value, 1);
  EXPECT_EQ(parser.TakeGarbage(), 1u);
}

}  // namespace
