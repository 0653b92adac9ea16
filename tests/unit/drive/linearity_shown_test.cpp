// A board's linearity outside the trackbar's range is shown, and drawn, as
// the editor uses it; opening writes nothing.
#include <gtest/gtest.h>

#include "drive/game_controller.h"
#include "drive/linearity_editor.h"
#include "fake_dialog.h"
#include "wheel_fakes.h"

namespace {

class NoAxes : public GameControllerAxes {
 public:
  uint32_t ObjectMask() override { return 0x0F; }
  void ReadInput() override {}
  int32_t AxisValue(int) override { return 0; }
};

TEST(LinearityShown, ABoardValueOutsideTheRangeIsShownAsClamped) {
  const struct {
    int32_t board;
    const char* text;
    int32_t position;
  } cases[] = {{32, "0.12", 512}, {-300, "0.12", 512}, {40000, "8.00", 32767}, {8192, "2.00", 8192}};
  for (const auto& c : cases) {
    WheelRig rig;
    rig.Connect();
    rig.panel.link.parameters.analogCurves[1].value = c.board;
    NoAxes axes;
    LinearityEditor editor(rig.panel.link, axes, 1);
    FakeDialog dialog;
    editor.Init(dialog);
    EXPECT_EQ(dialog.Text(IDC_LINEARITY_VALUE), c.text) << c.board;
    EXPECT_EQ(dialog.GetSliderPos(IDC_LINEARITY_SLIDER), c.position) << c.board;
    LinearityGraph drawn, expected;
    editor.Picture(350, 276, -1, &drawn);
    BuildLinearityGraph(350, 276, c.position, 0, &expected);
    EXPECT_EQ(drawn.points[20].y, expected.points[20].y) << c.board;
    EXPECT_TRUE(rig.port.written.empty()) << c.board;
  }
}

}  // namespace
