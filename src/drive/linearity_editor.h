#pragma once
// The "Linearity Editor" dialog (153): the transfer curve output = input^L
// the board applies to an analog axis (X, Y, Z or X rotation) before it
// reports it. A trackbar sets L = value / 4096 and writes it to the board at
// once (board parameter 80 + 2 axis); a picture shows the curve with two
// markers that follow the axis as the game controller reports it, read every
// 33 ms. Written against DialogControls; the Windows side
// (linearity_editor_win32.cpp) forwards its messages here and renders the
// picture.
#include <cstdint>

#include "drive/linearity_editor_ids.h"
#include "drive/linearity_graph.h"

class DialogControls;
class GameControllerAxes;
class WheelLink;
struct WheelParameter;

// The axes with a linearity setting on the board (X, Y, Z, X rotation).
constexpr int kLinearityAxisCount = 4;
constexpr int32_t kLinearityMinimum = 512;
constexpr int32_t kLinearityMaximum = 32767;
constexpr int32_t kLinearityTickStep = 256;
constexpr uint32_t kLinearityTimerMs = 33;

class LinearityEditor {
 public:
  // axis 0..3. The references must outlive the editor.
  LinearityEditor(WheelLink& link, GameControllerAxes& controller, int axis);

  int Axis() const { return axis_; }
  WheelParameter& Entry() const { return entry_; }
  int32_t AxisValue() const { return axisValue_; }

  // Opening: the trackbar's range, ticks and position, the value label.
  void Init(DialogControls& dialog);
  // The trackbar moved: its position is the value, shown and written.
  void SliderMoved(DialogControls& dialog);
  // The 33 ms timer: one read of the game controller. True when the axis
  // value changed (the picture is to be redrawn).
  bool Tick();
  // The picture for the dialog's client area as it stands.
  void Picture(int width, int height, int graphHeight, LinearityGraph* out) const;

 private:
  WheelLink& link_;
  GameControllerAxes& controller_;
  int axis_;
  WheelParameter& entry_;
  int32_t axisValue_ = 0;
};

// Value label text: value / 4096 with two decimals ("1.00" for 4096).
void FormatLinearity(int32_t value, char* out, int size);
// A value as the editor uses it: within kLinearityMinimum..kLinearityMaximum,
// as the trackbar holds it. A board can report anything (its default is 32).
int32_t ClampLinearity(int32_t value);

// The editor for axis over owner; the status refresh and the drive readout
// stay held while it is open. An axis without a linearity setting (Ry, Rz
// or anything else) opens nothing.
void ShowLinearityEditor(WheelLink& link, GameControllerAxes& controller, DialogControls& owner, int axis);
// The platform's modal dialog (the POSIX one opens nothing); 1 for "OK", 0
// for cancel. Neither undoes a written value.
int RunLinearityEditorDialog(LinearityEditor& editor, DialogControls& owner);
