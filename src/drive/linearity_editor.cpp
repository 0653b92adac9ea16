// The "Linearity Editor" dialog's logic.
#include "drive/linearity_editor.h"

#include <cstdio>

#include "drive/game_controller.h"
#include "ui/dialog_controls.h"
#include "wheel/wheel_link.h"

LinearityEditor::LinearityEditor(WheelLink& link, GameControllerAxes& controller, int axis)
    : link_(link), controller_(controller), axis_(axis), entry_(link.parameters.analogCurves[axis]) {
  // The editor shows the entry as a trackbar with a "%1.2f" label.
  entry_.minimum = kLinearityMinimum;
  entry_.maximum = kLinearityMaximum;
  entry_.tickStep = kLinearityTickStep;
  entry_.kind = kShowFraction4096;
  axisValue_ = controller_.AxisValue(axis_);
}

void FormatLinearity(int32_t value, char* out, int size) {
  WheelParameter shown;
  shown.kind = kShowFraction4096;
  shown.value = value;
  FormatParameterText(shown, out, static_cast<size_t>(size));
}

int32_t ClampLinearity(int32_t value) {
  return value < kLinearityMinimum ? kLinearityMinimum : value > kLinearityMaximum ? kLinearityMaximum : value;
}

void LinearityEditor::Init(DialogControls& dialog) {
  dialog.SetSliderRange(IDC_LINEARITY_SLIDER, kLinearityMinimum, kLinearityMaximum);
  for (int32_t tick = kLinearityMinimum + kLinearityTickStep; tick <= kLinearityMaximum - kLinearityTickStep;
       tick += kLinearityTickStep) {
    dialog.AddSliderTick(IDC_LINEARITY_SLIDER, tick);
  }
  // The label, the trackbar and the curve agree on one value; the board's
  // is written only when the user moves the trackbar.
  const int32_t shown = ClampLinearity(entry_.value);
  dialog.SetSliderPos(IDC_LINEARITY_SLIDER, shown);
  char text[16];
  FormatLinearity(shown, text, sizeof text);
  dialog.SetItemText(IDC_LINEARITY_VALUE, text);
}

void LinearityEditor::SliderMoved(DialogControls& dialog) {
  entry_.value = dialog.GetSliderPos(IDC_LINEARITY_SLIDER);
  char text[16];
  FormatLinearity(entry_.value, text, sizeof text);
  dialog.SetItemText(IDC_LINEARITY_VALUE, text);
  link_.WriteParameter(entry_);
}

bool LinearityEditor::Tick() {
  controller_.ReadInput();
  const int32_t value = controller_.AxisValue(axis_);
  if (value == axisValue_) return false;
  axisValue_ = value;
  return true;
}

void LinearityEditor::Picture(int width, int height, int graphHeight, LinearityGraph* out) const {
  BuildLinearityGraph(width, height, ClampLinearity(entry_.value), axisValue_, out, graphHeight);
}

void ShowLinearityEditor(WheelLink& link, GameControllerAxes& controller, DialogControls& owner, int axis) {
  if (axis < 0 || axis >= kLinearityAxisCount) return;
  StatusHold hold(link);
  LinearityEditor editor(link, controller, axis);
  RunLinearityEditorDialog(editor, owner);
}
