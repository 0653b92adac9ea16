#include "drive/linearity_graph_win32.h"

namespace {

COLORREF Colour(const GraphColour& c) { return RGB(c.red, c.green, c.blue); }

void DrawShape(HDC dc, const LinearityGraph& graph, const GraphShape& s) {
  if (s.kind == GraphShapeKind::kBackground) {
    RECT r = {s.left, s.top, s.right, s.bottom};
    // What a dialog paints its background with.
    FillRect(dc, &r, GetSysColorBrush(COLOR_3DFACE));
    return;
  }
  HPEN pen = s.penWidth > 0 ? CreatePen(PS_SOLID, s.penWidth, Colour(s.pen)) : nullptr;
  HGDIOBJ oldPen = SelectObject(dc, pen ? static_cast<HGDIOBJ>(pen) : GetStockObject(NULL_PEN));
  switch (s.kind) {
    case GraphShapeKind::kRectangle: {
      HBRUSH brush = CreateSolidBrush(Colour(s.fill));
      HGDIOBJ oldBrush = SelectObject(dc, brush);
      Rectangle(dc, s.left, s.top, s.right, s.bottom);
      SelectObject(dc, oldBrush);
      DeleteObject(brush);
      break;
    }
    case GraphShapeKind::kLine:
      MoveToEx(dc, s.left, s.top, nullptr);
      LineTo(dc, s.right, s.bottom);
      break;
    case GraphShapeKind::kPolyline: {
      POINT points[kMaxGraphPoints];
      int count = 0;
      for (int i = 0; i < s.pointCount && s.firstPoint + i < graph.pointCount; ++i) {
        points[count++] = {graph.points[s.firstPoint + i].x, graph.points[s.firstPoint + i].y};
      }
      Polyline(dc, points, count);
      break;
    }
    default:
      break;
  }
  SelectObject(dc, oldPen);
  if (pen) DeleteObject(pen);
}

}  // namespace

void PaintLinearityGraph(HDC dc, const LinearityGraph& graph) {
  if (graph.shapeCount == 0) return;
  const GraphShape& area = graph.shapes[0];
  const int width = area.right, height = area.bottom;
  if (width <= 0 || height <= 0) return;
  HDC memory = CreateCompatibleDC(dc);
  HBITMAP bitmap = CreateCompatibleBitmap(dc, width, height);
  if (memory == nullptr || bitmap == nullptr) {
    if (bitmap) DeleteObject(bitmap);
    if (memory) DeleteDC(memory);
    return;
  }
  HGDIOBJ oldBitmap = SelectObject(memory, bitmap);
  for (int i = 0; i < graph.shapeCount; ++i) DrawShape(memory, graph, graph.shapes[i]);
  BitBlt(dc, 0, 0, width, height, memory, 0, 0, SRCCOPY);
  SelectObject(memory, oldBitmap);
  DeleteObject(bitmap);
  DeleteDC(memory);
}
