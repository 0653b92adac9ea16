#pragma once
// The live wheel-state picture of the main page as a list of shapes in pixels
// of the page's client area: the steering pointer, three pedal frames with
// their bars and 32 numbered button boxes. A renderer draws the list (GDI in
// the product, wheel_state_gdi_win32.h); tests read it.
#include <cstdint>

// Colours in the platform's 0x00BBGGRR layout.
constexpr uint32_t kPictureRed = 0x0000FF;
constexpr uint32_t kPictureBlack = 0x000000;
constexpr uint32_t kPictureWhite = 0xFFFFFF;

struct PicturePoint {
  int32_t x, y;
};

// Right and bottom are exclusive, as GDI takes them.
struct PictureRect {
  int32_t left, top, right, bottom;
};

enum class ShapeKind : uint8_t {
  kPolygon,  // points[0..2] outlined with colour and penWidth, filled white
  kFrame,    // rect outlined 1 pixel in colour, filled white
  kFill,     // rect filled with colour
  kText,     // text in black on background colour, from rect's left-top, not clipped
};

struct PictureShape {
  ShapeKind kind;
  uint8_t penWidth;
  uint32_t colour;
  PicturePoint points[3];
  PictureRect rect;
  char text[4];
};

constexpr int kPictureButtons = 32;
constexpr int kPicturePedals = 3;
// Pointer, pedal frames, button frames, one fill and one number per button, bars.
constexpr int kMaxPictureShapes = 1 + kPicturePedals + kPictureButtons * 3 + kPicturePedals;

// Everything the picture draws lies in this rectangle: the pointer turns
// within 20 pixels of (30, 155) and its 2-pixel outline adds one; the last
// button box ends at (315, 227). It stays clear of the group box around it.
constexpr PictureRect kWheelStatePictureArea{9, 134, 316, 229};
// Its three parts: what the pointer, the pedals and the buttons may cover.
constexpr PictureRect kPointerArea{9, 134, 52, 177};
constexpr PictureRect kPedalArea{60, 140, 110, 180};
constexpr PictureRect kButtonArea{120, 140, 316, 229};

struct WheelStatePicture {
  PictureShape shapes[kMaxPictureShapes];
  int count = 0;
};

// What the picture shows; equal inputs give the same picture.
struct WheelStateInputs {
  int32_t angle;                       // pointer angle in degrees
  int32_t pedalHeights[kPicturePedals];  // bar heights in pixels
  uint32_t buttons;                    // bit i: button i pressed

  bool operator==(const WheelStateInputs& o) const {
    return angle == o.angle && buttons == o.buttons && pedalHeights[0] == o.pedalHeights[0] &&
           pedalHeights[1] == o.pedalHeights[1] && pedalHeights[2] == o.pedalHeights[2];
  }
  bool operator!=(const WheelStateInputs& o) const { return !(*this == o); }
};

// Pointer angle: (X - 32767) * maxAngle / 65535, truncated toward zero.
int32_t WheelPointerAngle(int32_t x, int32_t maxAngle);
// Pedal bar: value * 38 / 65535, truncated toward zero.
int32_t PedalBarHeight(int32_t value);
// The inputs of the picture from the six axes (X, Y, Z, X/Y/Z rotation): the
// pointer from X, the pedals from Y, Z and X rotation.
WheelStateInputs WheelStateFrom(const int32_t axes[6], int32_t maxAngle, uint32_t buttons);

// The shapes, in drawing order.
void DrawWheelStatePicture(const WheelStateInputs& inputs, WheelStatePicture* out);
// The smallest of the picture's parts that holds all that differs between
// two pictures (left == right when nothing does): a turning wheel repaints
// the pointer only.
PictureRect ChangedPictureArea(const WheelStateInputs& before, const WheelStateInputs& after);

// Draws a picture (the product's renderer paints it without flicker, and
// on the screen only the part `changed` of kWheelStatePictureArea).
class WheelStateRenderer {
 public:
  virtual ~WheelStateRenderer() = default;
  virtual void Show(const WheelStatePicture& picture, const PictureRect& changed) = 0;
};
