#include "input/wheel_state_picture.h"

#include <cmath>
#include <cstdio>

namespace {

constexpr float kPi = 3.1415927f;
constexpr int32_t kPedalFrameHeight = 38;  // the inside of a 40-pixel frame
constexpr int32_t kPedalX[kPicturePedals] = {60, 80, 100};
constexpr int32_t kPedalTop = 140;
constexpr int32_t kPedalBottom = 180;
constexpr int32_t kButtonLeft = 120;
constexpr int32_t kButtonTop = 140;
constexpr int32_t kButtonStepX = 25;
constexpr int32_t kButtonStepY = 23;
constexpr int32_t kButtonsPerRow = 8;

PictureShape& Add(WheelStatePicture* out, ShapeKind kind, uint32_t colour) {
  PictureShape& shape = out->shapes[out->count++];
  shape = PictureShape{};
  shape.kind = kind;
  shape.colour = colour;
  shape.penWidth = 1;
  return shape;
}

void AddRect(WheelStatePicture* out, ShapeKind kind, uint32_t colour, PictureRect rect) {
  Add(out, kind, colour).rect = rect;
}

}  // namespace

int32_t WheelPointerAngle(int32_t x, int32_t maxAngle) {
  // 64 bits: a large angle setting times a full-scale axis overflows 32.
  return static_cast<int32_t>((int64_t{x} - 32767) * maxAngle / 65535);
}

int32_t PedalBarHeight(int32_t value) {
  int64_t height = int64_t{value} * kPedalFrameHeight / 65535;
  // A device that ignores the 0..65535 range must not draw outside the frame.
  if (height < 0) height = 0;
  if (height > kPedalFrameHeight) height = kPedalFrameHeight;
  return static_cast<int32_t>(height);
}

WheelStateInputs WheelStateFrom(const int32_t axes[6], int32_t maxAngle, uint32_t buttons) {
  WheelStateInputs inputs{};
  inputs.angle = WheelPointerAngle(axes[0], maxAngle);
  for (int i = 0; i < kPicturePedals; ++i) inputs.pedalHeights[i] = PedalBarHeight(axes[1 + i]);
  inputs.buttons = buttons;
  return inputs;
}

void DrawWheelStatePicture(const WheelStateInputs& inputs, WheelStatePicture* out) {
  out->count = 0;

  // The pointer: a triangle turned about (10, 15) by angle + 90 degrees, in
  // single precision, each coordinate truncated, then moved to (30, 155).
  static const PicturePoint kTriangle[3] = {{0, 0}, {0, 30}, {30, 15}};
  const float radians = static_cast<float>(inputs.angle + 90) * kPi / 180.0f;
  const float c = std::cos(radians);
  const float s = std::sin(radians);
  PictureShape& pointer = Add(out, ShapeKind::kPolygon, kPictureRed);
  pointer.penWidth = 2;
  for (int i = 0; i < 3; ++i) {
    const float dx = static_cast<float>(kTriangle[i].x - 10);
    const float dy = static_cast<float>(kTriangle[i].y - 15);
    const float x = dx * c - dy * s;
    const float y = dx * s + dy * c;
    pointer.points[i] = PicturePoint{static_cast<int32_t>(x) + 30, static_cast<int32_t>(y) + 155};
  }

  for (int32_t x : kPedalX) {
    AddRect(out, ShapeKind::kFrame, kPictureBlack, PictureRect{x, kPedalTop, x + 10, kPedalBottom});
  }
  for (int i = 0; i < kPictureButtons; ++i) {
    const int32_t x = kButtonLeft + (i % kButtonsPerRow) * kButtonStepX;
    const int32_t y = kButtonTop + (i / kButtonsPerRow) * kButtonStepY;
    AddRect(out, ShapeKind::kFrame, kPictureBlack, PictureRect{x, y, x + 20, y + 18});
  }
  for (int i = 0; i < kPictureButtons; ++i) {
    const int32_t x = kButtonLeft + (i % kButtonsPerRow) * kButtonStepX;
    const int32_t top = kButtonTop + 1 + (i / kButtonsPerRow) * kButtonStepY;
    const bool pressed = (inputs.buttons >> i) & 1u;
    if (pressed) AddRect(out, ShapeKind::kFill, kPictureRed, PictureRect{x + 1, top, x + 19, top + 16});
    PictureShape& number = Add(out, ShapeKind::kText, pressed ? kPictureRed : kPictureWhite);
    std::snprintf(number.text, sizeof number.text, "%d", i + 1);
    // The inside of the box: the renderer centres the number in it and never
    // draws past it, whatever the font, so "10" cannot touch the frame.
    number.rect = PictureRect{x + 1, top, x + 19, top + 16};
  }
  for (int i = 0; i < kPicturePedals; ++i) {
    const int32_t x = kPedalX[i] + 1;
    const PictureRect bar{x, kPedalBottom - inputs.pedalHeights[i], x + 8, kPedalBottom - 1};
    // A released pedal (height 0 or 1) has no bar: the upside-down rectangle
    // would otherwise paint a red line over the frame's bottom edge.
    if (bar.top < bar.bottom) AddRect(out, ShapeKind::kFill, kPictureRed, bar);
  }
}

PictureRect ChangedPictureArea(const WheelStateInputs& before, const WheelStateInputs& after) {
  PictureRect area{0, 0, 0, 0};
  bool any = false;
  auto add = [&](const PictureRect& part) {
    if (!any) {
      area = part;
      any = true;
      return;
    }
    if (part.left < area.left) area.left = part.left;
    if (part.top < area.top) area.top = part.top;
    if (part.right > area.right) area.right = part.right;
    if (part.bottom > area.bottom) area.bottom = part.bottom;
  };
  if (before.angle != after.angle) add(kPointerArea);
  for (int i = 0; i < kPicturePedals; ++i) {
    if (before.pedalHeights[i] != after.pedalHeights[i]) {
      add(kPedalArea);
      break;
    }
  }
  if (before.buttons != after.buttons) add(kButtonArea);
  return area;
}
