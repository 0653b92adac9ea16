// The linearity editor shows a board's value as it uses it (clamped to the
// trackbar's range), and draws the curve in a colour of its own.
#include <gtest/gtest.h>

#include <string>

#include "drive/game_controller.h"
#include "drive/linearity_editor.h"
#include "fake_dialog.h"
#include "wheel_fakes.h"

namespace {

class NoController : public GameControllerAxes {
 public:
  uint32_t ObjectMask() override { return 0x0F; }
  void ReadInput() override {}
  int32_t AxisValue(int) override { return 30000; }
};

class LinearityShown : public ::testing::Test, public WheelRig {
 protected:
  void SetUp() override { Connect(); }
  NoController controller;
};

TEST_F(LinearityShown, ABoardValueOutsideTheRangeIsShownAsUsed) {
  const struct {
    int32_t board;
    const char* text;
    int32_t position;
  } cases[] = {
      {32, "0.12", 512},  // the board's own default
      {0, "0.12", 512},
      {-300, "0.12", 512},
      {40000, "8.00", 32767},
      {512, "0.12", 512},
      {8192, "2.00", 8192},
  };
  for (const auto& c : cases) {
    panel.link.parameters.analogCurves[1].value = c.board;
    LinearityEditor editor(panel.link, controller, 1);
    FakeDialog dialog;
    editor.Init(dialog);
    EXPECT_EQ(dialog.Text(IDC_LINEARITY_VALUE), c.text) << c.board;
    EXPECT_EQ(dialog.GetSliderPos(IDC_LINEARITY_SLIDER), c.position) << c.board;
    // The curve is the one of the value shown.
    LinearityGraph drawn, expected;
    editor.Picture(350, 276, -1, &drawn);
    BuildLinearityGraph(350, 276, c.position, 30000, &expected);
    for (int i = 0; i < expected.pointCount; ++i) {
      ASSERT_EQ(drawn.points[i].y, expected.points[i].y) << c.board << " point " << i;
    }
    EXPECT_TRUE(port.written.empty()) << "opening writes nothing";
  }
}

TEST(LinearityGraphColours, TheCurveIsNotDrawnInTheGridsColour) {
  LinearityGraph g;
  BuildLinearityGraph(350, 276, 8192, 0, &g);
  ASSERT_GE(g.curve, 0);
  const GraphColour curve = g.shapes[g.curve].pen;
  for (const GraphColour other : {kGraphGrid, kGraphBlack, kGraphWhite, kGraphRed}) EXPECT_FALSE(curve == other);
}

}  // namespace
