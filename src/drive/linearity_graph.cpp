#include "drive/linearity_graph.h"

#include <cmath>
#include <cstdint>

namespace {

// A value of L at or below 0 would make the curve and the input marker
// divide by zero or raise 0 to a negative power.
constexpr float kSmallestL = 0.0001f;

GraphShape* Add(LinearityGraph* g, GraphShapeKind kind) {
  if (g->shapeCount >= kMaxGraphShapes) return nullptr;
  GraphShape* s = &g->shapes[g->shapeCount++];
  *s = GraphShape{kind, 0, kGraphBlack, kGraphWhite, 0, 0, 0, 0, 0, 0};
  return s;
}

void Rectangle(LinearityGraph* g, int penWidth, GraphColour pen, GraphColour fill, int left, int top, int right,
               int bottom) {
  if (GraphShape* s = Add(g, GraphShapeKind::kRectangle)) {
    s->penWidth = penWidth;
    s->pen = pen;
    s->fill = fill;
    s->left = left, s->top = top, s->right = right, s->bottom = bottom;
  }
}

void GridLine(LinearityGraph* g, int x0, int y0, int x1, int y1) {
  if (GraphShape* s = Add(g, GraphShapeKind::kLine)) {
    s->penWidth = 1;
    s->pen = kGraphGrid;
    s->left = x0, s->top = y0, s->right = x1, s->bottom = y1;
  }
}

}  // namespace

void BuildLinearityGraph(int width, int height, int32_t linearityValue, int32_t axisValue, LinearityGraph* g,
                         int graphHeight) {
  g->shapeCount = 0;
  g->pointCount = 0;
  g->curve = g->inputMarker = g->outputMarker = -1;
  const int w = width - 30;
  const int h = graphHeight >= 0 ? graphHeight : height - 100;
  g->w = w;
  g->h = h;

  // The part of the window the picture covers: everything above the controls.
  if (GraphShape* s = Add(g, GraphShapeKind::kBackground)) {
    s->left = 0, s->top = 0, s->right = width, s->bottom = h + 22;
  }
  if (w <= 0 || h <= 0) return;

  // Output bar, graph, input bar.
  Rectangle(g, 2, kGraphBlack, kGraphWhite, 0, 5, 10, h + 5);
  Rectangle(g, 2, kGraphBlack, kGraphWhite, 15, 5, w + 15, h + 5);
  Rectangle(g, 2, kGraphBlack, kGraphWhite, 15, h + 10, w + 15, h + 20);

  // A line every tenth, while it lies inside the frame.
  if (const int step = w / 10; step > 0) {
    for (int x = 15 + step; x < w + 15; x += step) GridLine(g, x, 5, x, h + 5);
  }
  if (const int step = h / 10; step > 0) {
    for (int y = 5 + step; y < h + 5; y += step) GridLine(g, 15, y, w + 15, y);
  }

  const float l = std::fmax(static_cast<float>(linearityValue) / 4096.0f, kSmallestL);
  if (w - 4 > 0) {
    GraphShape* curve = Add(g, GraphShapeKind::kPolyline);
    if (curve != nullptr) {
      curve->penWidth = 2;
      curve->pen = kGraphCurve;
      curve->firstPoint = g->pointCount;
      g->points[g->pointCount++] = {15, h + 5};
      for (int x = 0; x < w && g->pointCount < kMaxGraphPoints; x += 5) {
        // The last steps reach a little past w - 4; the curve stays in its frame.
        const float input = std::fmin(static_cast<float>(x) / static_cast<float>(w - 4), 1.0f);
        const float output = std::pow(input, l);
        g->points[g->pointCount++] = {x + 17, h - static_cast<int>(output * static_cast<float>(h - 4)) + 3};
      }
      curve->pointCount = g->pointCount - curve->firstPoint;
      g->curve = g->shapeCount - 1;
    }
  }

  // The input that gives the reported value, and the reported value itself.
  const int32_t v = axisValue < 0 ? 0 : axisValue > 65535 ? 65535 : axisValue;
  const float input = std::pow(static_cast<float>(v) / 65535.0f, 1.0f / l);
  Rectangle(g, 1, kGraphGrid, kGraphRed, 16, h + 10, static_cast<int>(input * static_cast<float>(w)) + 16, h + 20);
  g->inputMarker = g->shapeCount - 1;
  Rectangle(g, 1, kGraphGrid, kGraphRed, 1, h + 5, 9,
            h - static_cast<int>(static_cast<int64_t>(h) * v / 65535) + 5);
  g->outputMarker = g->shapeCount - 1;
}
