#pragma once
// The linearity editor's picture as plain shapes: the transfer curve
// output = input^L of an axis in a frame with a grid, an input bar and an
// output bar, and two markers for the axis value the game controller
// reports. Built here without any drawing system; the Windows side renders
// the shapes with GDI (linearity_graph_win32.cpp), tests read them.
#include <cstdint>

struct GraphColour {
  uint8_t red, green, blue;
  bool operator==(const GraphColour& o) const { return red == o.red && green == o.green && blue == o.blue; }
};

constexpr GraphColour kGraphBlack = {0, 0, 0};
constexpr GraphColour kGraphWhite = {255, 255, 255};
constexpr GraphColour kGraphGrid = {16, 16, 16};
constexpr GraphColour kGraphRed = {255, 0, 0};
// The curve stands out from the grid it is drawn on.
constexpr GraphColour kGraphCurve = {0, 90, 200};

enum class GraphShapeKind : uint8_t {
  kBackground,  // the rectangle filled with the window's own background
  kRectangle,   // outlined with the pen (when penWidth > 0), filled with fill
  kLine,        // from (left, top) to (right, bottom)
  kPolyline,    // through points[firstPoint .. firstPoint + pointCount)
};

struct GraphShape {
  GraphShapeKind kind;
  int penWidth;  // pixels; 0 = no outline
  GraphColour pen;
  GraphColour fill;
  int left, top, right, bottom;
  int firstPoint, pointCount;
};

struct GraphPoint {
  int x, y;
};

constexpr int kMaxGraphShapes = 64;
constexpr int kMaxGraphPoints = 1024;

struct LinearityGraph {
  int w = 0, h = 0;  // the graph frame's inner size: client width - 30, height - 100
  GraphShape shapes[kMaxGraphShapes];
  int shapeCount = 0;
  GraphPoint points[kMaxGraphPoints];
  int pointCount = 0;
  // Which shapes are the curve and the two markers (-1: not drawn).
  int curve = -1, inputMarker = -1, outputMarker = -1;
};

// The picture for a client area of width x height pixels, a linearity value
// (L = value / 4096) and an axis value (0..65535; values outside are taken
// as the nearest end). graphHeight, when not negative, is used as h instead
// of height - 100 (a window whose controls sit higher than 100 pixels from
// the bottom, as at a large text size).
void BuildLinearityGraph(int width, int height, int32_t linearityValue, int32_t axisValue, LinearityGraph* out,
                         int graphHeight = -1);

