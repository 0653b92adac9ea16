#pragma once
// The Live Forces graph as plain shapes in pixels of the graph's own area:
// a frame, the zero and full-scale lines, a time grid with its labels, the
// clipped stretches as bands, the series as polylines (at most two points a
// pixel column, however many samples), the error marks on the time axis, a
// legend and, when the reports stopped, a line that says so. The Windows
// side renders the list into an off-screen bitmap (live_forces_win32.cpp).
#include <cstdint>

#include "wheel/force_samples.h"

// Colours in the platform's 0x00BBGGRR layout.
constexpr uint32_t kForceBackground = 0xFFFFFF;
constexpr uint32_t kForceFrame = 0x404040;
constexpr uint32_t kForceGrid = 0xDDDDDD;
constexpr uint32_t kForceClipBand = 0xC8C8FF;  // light red
constexpr uint32_t kForceTorque = 0xC85A00;    // blue
constexpr uint32_t kForceAxis = 0x00A000;      // green
constexpr uint32_t kForceCurrent = 0x0080FF;   // orange
constexpr uint32_t kForceError = 0x0000D0;     // red
constexpr uint32_t kForceText = 0x000000;

enum class ForceShapeKind : uint8_t {
  kFill,      // rect filled with colour
  kLine,      // (left, top) to (right, bottom), 1 pixel
  kPolyline,  // points[firstPoint .. firstPoint + pointCount), 1 pixel
  kText,      // text from (left, top), not clipped, transparent background
};

struct ForceShape {
  ForceShapeKind kind;
  // Part of the backdrop (background, grid, time labels, legend): the same
  // in every picture of one size and span, and drawn under all the others,
  // so a renderer may draw these once and keep them.
  bool backdrop;
  uint32_t colour;
  int left, top, right, bottom;
  int firstPoint, pointCount;
  char text[48];
};

struct ForcePoint {
  int x, y;
};

constexpr int kMaxForceShapes = 400;
constexpr int kMaxGraphWidth = 4096;  // wider areas are drawn this wide
constexpr int kMaxForcePoints = 3 * 2 * kMaxGraphWidth;

struct ForceGraphInputs {
  int width = 0, height = 0;  // the graph area in pixels
  int textHeight = 13;        // of the window's font, so labels fit at any DPI
  uint32_t endMs = 0;         // the time at the right edge
  uint32_t spanMs = 10000;
  bool withCurrent = false;   // developer mode with a drive that answers
  const char* notice = nullptr;  // shown over the graph when not null ("No reports ...")
};

struct ForceGraph {
  ForceShape shapes[kMaxForceShapes];
  int shapeCount = 0;
  ForcePoint points[kMaxForcePoints];
  int pointCount = 0;
  // The plot inside the area (where times and values are placed).
  int plotLeft = 0, plotTop = 0, plotWidth = 0, plotHeight = 0;
  int torqueLine = -1;  // the torque polyline's shape, -1 when none
  int clipBands = 0, errorMarks = 0;
};

void BuildForceGraph(const ForceSamples& samples, const ForceGraphInputs& in, ForceGraph* out);
