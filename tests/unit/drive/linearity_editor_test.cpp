// The linearity editor: its picture as shapes, the trackbar written at once,
// and the 33 ms reads of the game controller.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "drive/game_controller.h"
#include "drive/linearity_editor.h"
#include "drive/linearity_graph.h"
#include "fake_dialog.h"
#include "wheel_fakes.h"

namespace {

class FakeController : public GameControllerAxes {
 public:
  int32_t axes[kGameAxisCount] = {};
  int reads = 0;
  uint32_t ObjectMask() override { return 0x3F; }
  void ReadInput() override { ++reads; }
  int32_t AxisValue(int axis) override { return axes[axis]; }
};

const GraphShape& Shape(const LinearityGraph& g, int index) { return g.shapes[index]; }

TEST(LinearityGraph, OneIsAStraightDiagonalWithBothMarkersAtTheSameFraction) {
  LinearityGraph g;
  BuildLinearityGraph(350, 276, 4096, 49151, &g);  // three quarters
  ASSERT_EQ(g.w, 320);
  ASSERT_EQ(g.h, 176);
  ASSERT_GE(g.curve, 0);
  const GraphShape& curve = Shape(g, g.curve);
  EXPECT_EQ(curve.pointCount, 1 + 64);
  EXPECT_EQ(g.points[curve.firstPoint].x, 15);
  EXPECT_EQ(g.points[curve.firstPoint].y, g.h + 5);
  // Every point after the start lies on the line from (17, h + 3) with slope -(h - 4) / (w - 4).
  for (int i = 1; i < curve.pointCount; ++i) {
    const GraphPoint p = g.points[curve.firstPoint + i];
    const double x = p.x - 17;
    const double expected = g.h + 3 - x * (g.h - 4) / (g.w - 4);
    EXPECT_LE(std::fabs(p.y - expected), 1.0) << i;
  }
  const GraphShape& in = Shape(g, g.inputMarker);
  const GraphShape& out = Shape(g, g.outputMarker);
  const double inFraction = (in.right - 16) / double(g.w);
  const double outFraction = (g.h + 5 - out.bottom) / double(g.h);
  EXPECT_NEAR(inFraction, 0.75, 0.01);
  EXPECT_NEAR(outFraction, 0.75, 0.01);
  EXPECT_EQ(in.fill, kGraphRed);
  EXPECT_EQ(in.pen, kGraphGrid);
  EXPECT_FALSE(curve.pen == kGraphGrid) << "the curve stands out from its grid";
}

TEST(LinearityGraph, TwoPutsAQuarterOfTheOutputAtHalfTheInput) {
  LinearityGraph g;
  BuildLinearityGraph(350, 276, 8192, 16384, &g);
  const GraphShape& in = Shape(g, g.inputMarker);
  EXPECT_NEAR((in.right - 16) / double(g.w), 0.5, 0.01);
  EXPECT_EQ(Shape(g, g.outputMarker).bottom, g.h - g.h * 16384 / 65535 + 5);
}

TEST(LinearityGraph, GridLinesStayInsideTheFrame) {
  LinearityGraph g;
  BuildLinearityGraph(350, 276, 4096, 0, &g);
  // w = 320: verticals every 32 from 47 to 303 (335 is the frame itself); h = 176: every 17.
  std::vector<int> xs, ys;
  for (int i = 0; i < g.shapeCount; ++i) {
    const GraphShape& s = Shape(g, i);
    if (s.kind != GraphShapeKind::kLine) continue;
    EXPECT_EQ(s.pen, kGraphGrid);
    (s.left == s.right ? xs : ys).push_back(s.left == s.right ? s.left : s.top);
  }
  EXPECT_EQ(xs, (std::vector<int>{47, 79, 111, 143, 175, 207, 239, 271, 303}));
  EXPECT_EQ(ys.size(), 10u);  // 17 * 10 = 170 < 176: the tenth still lies inside
  EXPECT_EQ(ys.back(), 175);
}

TEST(LinearityGraph, OddValuesStayInsideTheWindow) {
  const struct {
    int width, height;
    int32_t value, axis;
  } cases[] = {{350, 276, 0, 30000},     {350, 276, -4096, 65535}, {350, 276, 32767, -20},
               {350, 276, 512, 999999},  {34, 104, 4096, 100},     {31, 101, 4096, 100},
               {20, 50, 4096, 100},      {0, 0, 4096, 0},          {5000, 300, 4096, 65535}};
  for (const auto& c : cases) {
    LinearityGraph g;
    BuildLinearityGraph(c.width, c.height, c.value, c.axis, &g);
    ASSERT_GE(g.shapeCount, 1);
    if (g.w <= 0 || g.h <= 0) {
      EXPECT_EQ(g.shapeCount, 1) << c.width << "x" << c.height;
      continue;
    }
    for (int i = 1; i < g.shapeCount; ++i) {
      const GraphShape& s = Shape(g, i);
      for (int v : {s.left, s.right}) EXPECT_TRUE(v >= 0 && v <= c.width) << c.value << " shape " << i;
      for (int v : {s.top, s.bottom}) EXPECT_TRUE(v >= 0 && v <= g.h + 22) << c.value << " shape " << i;
    }
    for (int i = 0; i < g.pointCount; ++i) {
      EXPECT_TRUE(g.points[i].y >= 3 && g.points[i].y <= g.h + 5) << c.value << " point " << i;
    }
  }
}

class LinearityEditorTest : public ::testing::Test, public WheelRig {
 protected:
  void SetUp() override {
    Connect();
    link.parameters.analogCurves[2].value = 4096;
  }
  FakeController controller;
  FakeDialog dialog;
};

TEST_F(LinearityEditorTest, OpensWithTheAxisValueAndWritesEveryMoveAtOnce) {
  LinearityEditor editor(link, controller, 2);
  editor.Init(dialog);
  EXPECT_EQ(dialog.ranges[IDC_LINEARITY_SLIDER], (std::pair<int32_t, int32_t>(512, 32767)));
  const std::vector<int32_t>& ticks = dialog.ticks[IDC_LINEARITY_SLIDER];
  ASSERT_EQ(ticks.size(), 124u);
  EXPECT_EQ(ticks.front(), 768);
  EXPECT_EQ(ticks.back(), 32256);  // the last not above 32767 - 256
  EXPECT_EQ(dialog.GetSliderPos(IDC_LINEARITY_SLIDER), 4096);
  EXPECT_EQ(dialog.Text(IDC_LINEARITY_VALUE), "1.00");
  EXPECT_TRUE(port.written.empty());

  dialog.SetSliderPos(IDC_LINEARITY_SLIDER, 4352);
  editor.SliderMoved(dialog);
  EXPECT_EQ(port.written, (Bytes{'P', 84, 2, 0x11, 0x00}));
  EXPECT_EQ(board.Parameter(84), 4352);
  EXPECT_EQ(dialog.Text(IDC_LINEARITY_VALUE), "1.06");
  dialog.SetSliderPos(IDC_LINEARITY_SLIDER, 32767);
  editor.SliderMoved(dialog);
  EXPECT_EQ(dialog.Text(IDC_LINEARITY_VALUE), "8.00");
  EXPECT_EQ(link.parameters.analogCurves[2].value, 32767);
}

// A board's value outside the trackbar's range (its default is 32) is shown
// and drawn as the editor uses it, and not written.
TEST_F(LinearityEditorTest, ABoardValueOutsideTheRangeIsShownAsClamped) {
  const std::pair<int32_t, int32_t> cases[] = {{32, 512}, {-300, 512}, {40000, 32767}, {8192, 8192}};
  for (const auto& c : cases) {
    link.parameters.analogCurves[1].value = c.first;
    LinearityEditor editor(link, controller, 1);
    editor.Init(dialog);
    char text[16];
    FormatLinearity(c.second, text, sizeof text);
    EXPECT_EQ(dialog.Text(IDC_LINEARITY_VALUE), text) << c.first;
    EXPECT_EQ(dialog.GetSliderPos(IDC_LINEARITY_SLIDER), c.second) << c.first;
    LinearityGraph drawn, expected;
    editor.Picture(350, 276, -1, &drawn);
    BuildLinearityGraph(350, 276, c.second, 0, &expected);
    EXPECT_EQ(drawn.points[20].y, expected.points[20].y) << c.first;
  }
  EXPECT_TRUE(port.written.empty());
}

TEST_F(LinearityEditorTest, EachTickReadsTheControllerAndRedrawsOnlyOnAChange) {
  controller.axes[kAxisZ] = 100;
  LinearityEditor editor(link, controller, kAxisZ);
  EXPECT_FALSE(editor.Tick());
  controller.axes[kAxisZ] = 40000;
  controller.axes[kAxisX] = 7;
  EXPECT_TRUE(editor.Tick());
  EXPECT_FALSE(editor.Tick());
  EXPECT_EQ(controller.reads, 3);
  LinearityGraph g;
  editor.Picture(350, 276, -1, &g);
  EXPECT_EQ(Shape(g, g.outputMarker).bottom, g.h - g.h * 40000 / 65535 + 5);
}

TEST_F(LinearityEditorTest, AxesWithoutALinearitySettingOpenNothing) {
  // An editor on such an axis would set its slider bounds in an entry past
  // the four curves: in the mapping bytes that follow them.
  for (int axis : {-1, 4, 5, 6}) {
    link.statusHold = false;
    const WheelParameterTable before = link.parameters;
    ShowLinearityEditor(link, controller, dialog, axis);
    EXPECT_FALSE(link.statusHold);
    EXPECT_EQ(std::memcmp(link.parameters.mapping, before.mapping, sizeof before.mapping), 0) << "axis " << axis;
    EXPECT_EQ(std::memcmp(&link.parameters, &before, sizeof before), 0) << "axis " << axis;
  }
  EXPECT_EQ(controller.reads, 0);
}

}  // namespace
