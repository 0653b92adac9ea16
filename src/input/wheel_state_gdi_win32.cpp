#include "input/wheel_state_gdi_win32.h"

namespace {

constexpr int kWidth = kWheelStatePictureArea.right - kWheelStatePictureArea.left;
constexpr int kHeight = kWheelStatePictureArea.bottom - kWheelStatePictureArea.top;

RECT ToRect(const PictureRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

// Where a shape may paint: its rectangle, its points and outline, or its text
// (not clipped: a few pixels more).
PictureRect Bounds(const PictureShape& shape) {
  if (shape.kind == ShapeKind::kPolygon) {
    PictureRect r{shape.points[0].x, shape.points[0].y, shape.points[0].x, shape.points[0].y};
    for (const PicturePoint& p : shape.points) {
      if (p.x < r.left) r.left = p.x;
      if (p.y < r.top) r.top = p.y;
      if (p.x > r.right) r.right = p.x;
      if (p.y > r.bottom) r.bottom = p.y;
    }
    const int32_t pen = shape.penWidth + 1;
    return PictureRect{r.left - pen, r.top - pen, r.right + pen, r.bottom + pen};
  }
  if (shape.kind == ShapeKind::kText) {
    return PictureRect{shape.rect.left - 4, shape.rect.top - 4, shape.rect.right + 8, shape.rect.bottom + 8};
  }
  return shape.rect;
}

bool Meets(const PictureRect& a, const PictureRect& b) {
  return a.left < b.right && b.left < a.right && a.top < b.bottom && b.top < a.bottom;
}

}  // namespace

GdiWheelStateRenderer::~GdiWheelStateRenderer() {
  if (memory_ != nullptr) {
    SelectObject(memory_, firstBitmap_);
    DeleteDC(memory_);
  }
  if (bitmap_ != nullptr) DeleteObject(bitmap_);
}

bool GdiWheelStateRenderer::MakeBitmap() {
  if (memory_ != nullptr) return true;
  if (page_ == nullptr) return false;
  HDC page = GetDC(page_);
  if (page == nullptr) return false;
  memory_ = CreateCompatibleDC(page);
  bitmap_ = memory_ != nullptr ? CreateCompatibleBitmap(page, kWidth, kHeight) : nullptr;
  ReleaseDC(page_, page);
  if (bitmap_ == nullptr) {
    if (memory_ != nullptr) DeleteDC(memory_);
    memory_ = nullptr;
    return false;
  }
  firstBitmap_ = SelectObject(memory_, bitmap_);
  // The shapes are in page coordinates: the bitmap's origin is the area's corner.
  SetViewportOrgEx(memory_, -kWheelStatePictureArea.left, -kWheelStatePictureArea.top, nullptr);
  return true;
}

void GdiWheelStateRenderer::Render(const WheelStatePicture& picture, const PictureRect& part) {
  HDC dc = memory_;
  // The bitmap holds the last picture: only the part that changed is drawn again.
  const int saved = SaveDC(dc);
  IntersectClipRect(dc, part.left, part.top, part.right, part.bottom);
  RECT area = ToRect(kWheelStatePictureArea);
  FillRect(dc, &area, GetSysColorBrush(COLOR_3DFACE));

  HGDIOBJ firstPen = SelectObject(dc, GetStockObject(DC_PEN));
  HGDIOBJ firstBrush = SelectObject(dc, GetStockObject(WHITE_BRUSH));
  HBRUSH fill = static_cast<HBRUSH>(GetStockObject(DC_BRUSH));
  SetTextColor(dc, kPictureBlack);
  SetBkMode(dc, OPAQUE);
  // The dialogs' font, not the device context's bold system font, whose two
  // digits fill a button box from frame to frame.
  HGDIOBJ firstFont = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));

  for (int i = 0; i < picture.count; ++i) {
    const PictureShape& shape = picture.shapes[i];
    // A turning wheel redraws the pointer, not 32 numbered boxes.
    if (!Meets(Bounds(shape), part)) continue;
    switch (shape.kind) {
      case ShapeKind::kPolygon: {
        POINT points[3];
        for (int p = 0; p < 3; ++p) points[p] = POINT{shape.points[p].x, shape.points[p].y};
        HPEN pen = CreatePen(PS_SOLID, shape.penWidth, shape.colour);
        SelectObject(dc, pen != nullptr ? static_cast<HGDIOBJ>(pen) : GetStockObject(DC_PEN));
        Polygon(dc, points, 3);
        SelectObject(dc, GetStockObject(DC_PEN));
        if (pen != nullptr) DeleteObject(pen);
        break;
      }
      case ShapeKind::kFrame:
        SetDCPenColor(dc, shape.colour);
        Rectangle(dc, shape.rect.left, shape.rect.top, shape.rect.right, shape.rect.bottom);
        break;
      case ShapeKind::kFill: {
        RECT r = ToRect(shape.rect);
        SetDCBrushColor(dc, shape.colour);
        FillRect(dc, &r, fill);
        break;
      }
      case ShapeKind::kText: {
        RECT r = ToRect(shape.rect);
        SetBkColor(dc, shape.colour);
        DrawTextA(dc, shape.text, -1, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        break;
      }
    }
  }

  SelectObject(dc, firstPen);
  SelectObject(dc, firstBrush);
  SelectObject(dc, firstFont);
  RestoreDC(dc, saved);
}

void GdiWheelStateRenderer::CopyTo(HDC dc, const PictureRect& part) {
  BitBlt(dc, part.left, part.top, part.right - part.left, part.bottom - part.top, memory_, part.left, part.top,
         SRCCOPY);
}

void GdiWheelStateRenderer::Show(const WheelStatePicture& picture, const PictureRect& changed) {
  if (!MakeBitmap()) return;
  // Before the first picture neither bitmap nor screen holds one: all of it.
  const PictureRect part = drawn_ ? changed : kWheelStatePictureArea;
  if (part.right <= part.left || part.bottom <= part.top) return;
  Render(picture, part);
  drawn_ = true;
  HDC page = GetDC(page_);
  if (page == nullptr) return;
  CopyTo(page, part);
  ReleaseDC(page_, page);
}

void GdiWheelStateRenderer::Paint(HDC dc) {
  if (drawn_ && memory_ != nullptr) CopyTo(dc, kWheelStatePictureArea);
}
